// The system seam for sea.exe, through the ANSI calls of Win32. Local dates
// go through the system's own time-zone conversion, as Windows shows file
// dates; extraction refuses a folder or file that is a reparse point (a link
// or junction), so that a planted link cannot lead outside the folder.
#include "builder/system.h"

#include "builder/reader.h"

#include <io.h>
#include <windows.h>

namespace {

// 100-nanosecond steps from 1601 to 1970.
const int64_t unix_epoch_ticks = 116444736000000000LL;
const int64_t ticks_per_second = 10000000LL;

FILETIME file_time_of(int64_t seconds) {
    uint64_t ticks = static_cast<uint64_t>(seconds * ticks_per_second + unix_epoch_ticks);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

int64_t seconds_of(const FILETIME& time) {
    uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (static_cast<int64_t>(ticks) - unix_epoch_ticks) / ticks_per_second;
}

[[noreturn]] void fail(const std::string& what, const std::string& name) {
    throw ArchiveProblem(0, what + " " + name + ": " + last_system_error());
}

bool is_reparse_point(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

bool is_terminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

bool file_modified(const std::string& path, int64_t& seconds) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    seconds = seconds_of(data.ftLastWriteTime);
    return true;
}

DateTime local_date(int64_t seconds) {
    FILETIME time = file_time_of(seconds);
    SYSTEMTIME universal, local;
    DateTime date;
    if (!FileTimeToSystemTime(&time, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return date;
    date.year = local.wYear;
    date.month = local.wMonth;
    date.day = local.wDay;
    date.hour = local.wHour;
    date.minute = local.wMinute;
    date.second = local.wSecond;
    return date;
}

int64_t seconds_of_local_date(const DateTime& date) {
    SYSTEMTIME local = {}, universal;
    local.wYear = static_cast<WORD>(date.year);
    local.wMonth = static_cast<WORD>(date.month);
    local.wDay = static_cast<WORD>(date.day);
    local.wHour = static_cast<WORD>(date.hour);
    local.wMinute = static_cast<WORD>(date.minute);
    local.wSecond = static_cast<WORD>(date.second);
    FILETIME time;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) || !SystemTimeToFileTime(&universal, &time))
        return 0;
    return seconds_of(time);
}

// Both slashes part folders, and "C:name" is name in the current folder of
// drive C.
std::string folder_of(const std::string& path) {
    size_t slash = path.find_last_of("/\\:");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// sea.exe builds, checks and reads installers; trying one needs Wine, which
// runs on Linux.
int run_program(const std::vector<std::string>&, const std::string&, std::string*, bool) { return -1; }

std::string own_program() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length < sizeof path ? length : 0);
}

bool program_on_path(const std::string&) { return false; }

unsigned long process_number() { return GetCurrentProcessId(); }

bool entry_exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool remove_file(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool replace_file(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string last_system_error() {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(),
                                  0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.')) --length;
    return length ? std::string(text, length) : "error " + std::to_string(GetLastError());
}

void write_below(const std::string& dir, const std::vector<std::string>& parts, const Bytes& content,
                 const DateTime& date) {
    std::string path = dir;
    std::string shown;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        path += "\\" + parts[i];
        shown += parts[i] + "/";
        if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            fail("cannot create", shown);
        if (is_reparse_point(path)) throw ArchiveProblem(0, "refusing to follow the link " + shown);
    }
    path += "\\" + parts.back();
    shown += parts.back();
    if (is_reparse_point(path)) throw ArchiveProblem(0, "refusing to write through the link " + shown);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) fail("cannot create", shown);
    size_t done = 0;
    while (done < content.size()) {
        DWORD step = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1 << 20)), written = 0;
        if (!WriteFile(file, content.data() + done, step, &written, nullptr) || written == 0) {
            CloseHandle(file);
            fail("cannot write", shown);
        }
        done += written;
    }
    if (date.is_set()) {
        FILETIME time = file_time_of(seconds_of_local_date(date));
        if (!SetFileTime(file, nullptr, nullptr, &time)) {
            CloseHandle(file);
            fail("cannot date", shown);
        }
    }
    CloseHandle(file);
}
