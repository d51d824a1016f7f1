// The table of system calls of the fault-test stub, and the faults it plays
// back. Built only into that stub (SEA_FAULTS); the shipped stub calls the
// system directly.
//
// The faults come from the environment variable SEA_FAULTS, read once at
// start, before the run begins. It holds rules separated by ';':
//
//     CALL[@TEXT][:after=N][:error=E][:crash]
//
// CALL names an entry of the table (CreateFileA, WriteFile, SetFileTime,
// MoveFileExA, DeleteFileA, CreateDirectoryA, RegCreateKeyExA, RegOpenKeyExA,
// RegSetValueExA, RegDeleteValueA, RegDeleteKeyA). TEXT, when given, limits
// the rule to calls whose path holds it, in any case: the file's path (for
// WriteFile and SetFileTime the path the handle was created with; for
// MoveFileExA either of its two paths) or the whole path of the key, or of
// the value (the key's path, a backslash and the value's name), from HKLM or
// HKCU: HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs. The
// first N matching calls succeed (for WriteFile: the first N bytes written
// to matching files; the write that crosses the limit writes what fits, as a
// disk that fills up does), every later one fails with the Win32 error E (5,
// access denied, when not given): the condition lasts, as a full disk stays
// full. With :crash the process ends there instead, with exit code 3, as a
// crash or a power cut would end it (a write first writes what fits). For
// example
//
//     SEA_FAULTS=WriteFile@\big.bin:after=65536:error=112;RegCreateKeyExA@\SharedDLLs:error=5
//
// A rule that cannot be read stops the program with a box naming it, so that
// a test never runs without the fault it meant.
#include "platform/system_calls.h"

#include <stdlib.h>
#include <string.h>

namespace {

enum CallId {
    call_create_file,
    call_write_file,
    call_set_file_time,
    call_move_file,
    call_delete_file,
    call_create_directory,
    call_reg_create_key,
    call_reg_open_key,
    call_reg_set_value,
    call_reg_delete_value,
    call_reg_delete_key,
    call_count
};

const char* const call_names[call_count] = {
    "CreateFileA",     "WriteFile",      "SetFileTime",    "MoveFileExA",     "DeleteFileA",   "CreateDirectoryA",
    "RegCreateKeyExA", "RegOpenKeyExA",  "RegSetValueExA", "RegDeleteValueA", "RegDeleteKeyA",
};

struct Fault {
    CallId call;
    char text[260];
    unsigned long after;  // calls, or bytes for WriteFile, that still succeed
    unsigned long passed;
    DWORD error;
    bool crash;  // the process ends at the failing call, as if it crashed
};

// The exit code of a process that a fault ends, which no run of its own has.
const UINT crashed_exit_code = 3;

const int max_faults = 16;
Fault faults[max_faults];
int fault_count;

// The paths that files were created with, by handle, for the calls that are
// given a handle only.
struct OpenFile {
    HANDLE handle;
    char path[MAX_PATH];
};
const int max_open_files = 64;
OpenFile open_files[max_open_files];
int next_open_file;

bool holds_text(const char* subject, const char* text) {
    if (!*text) return true;
    if (!subject) return false;
    size_t length = strlen(text);
    for (; *subject; ++subject) {
        if (_strnicmp(subject, text, length) == 0) return true;
    }
    return false;
}

// The rule that makes this call fail, or null when it is to go through. Every
// rule that matches counts the call, so rules on one call do not hide each
// other.
Fault* failing(CallId call, const char* subject, const char* other = nullptr) {
    Fault* failed = nullptr;
    for (int i = 0; i < fault_count; ++i) {
        Fault& fault = faults[i];
        if (fault.call != call || !(holds_text(subject, fault.text) || holds_text(other, fault.text))) continue;
        if (fault.passed < fault.after) {
            ++fault.passed;
        } else if (!failed) {
            failed = &fault;
        }
    }
    if (failed && failed->crash) ExitProcess(crashed_exit_code);
    return failed;
}

const char* path_of(HANDLE handle) {
    for (const OpenFile& file : open_files) {
        if (file.handle == handle && handle) return file.path;
    }
    return nullptr;
}

void remember(HANDLE handle, const char* path) {
    for (OpenFile& file : open_files) {
        // A handle value the system hands out again names the new file.
        if (file.handle == handle) file.handle = nullptr;
    }
    OpenFile& slot = open_files[next_open_file];
    next_open_file = (next_open_file + 1) % max_open_files;
    slot.handle = handle;
    lstrcpynA(slot.path, path ? path : "", MAX_PATH);
}

// The paths of the registry keys opened so far, by handle, so that a rule can
// name a key by its whole path (HKLM\Software\...) whichever key it was
// opened from.
struct OpenKey {
    HKEY key;
    char path[512];
};
const int max_open_keys = 64;
OpenKey open_keys[max_open_keys];
int next_open_key;

// The whole path of a subkey (or value) name below parent, as far as it is known.
const char* key_path_of(HKEY parent, const char* name, char (&out)[1024]) {
    const char* base = "";
    if (parent == HKEY_LOCAL_MACHINE) base = "HKLM";
    else if (parent == HKEY_CURRENT_USER) base = "HKCU";
    else {
        for (const OpenKey& key : open_keys) {
            if (key.key == parent && parent) base = key.path;
        }
    }
    wsprintfA(out, "%.500s\\%.500s", base, name ? name : "");
    return out;
}

void remember_key(HKEY key, const char* path) {
    for (OpenKey& open : open_keys) {
        if (open.key == key) open.key = nullptr;
    }
    OpenKey& slot = open_keys[next_open_key];
    next_open_key = (next_open_key + 1) % max_open_keys;
    slot.key = key;
    lstrcpynA(slot.path, path, sizeof slot.path);
}

HANDLE WINAPI create_file(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                          DWORD attributes, HANDLE model) {
    if (Fault* fault = failing(call_create_file, path)) {
        SetLastError(fault->error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = ::CreateFileA(path, access, share, security, creation, attributes, model);
    if (handle != INVALID_HANDLE_VALUE) remember(handle, path);
    return handle;
}

BOOL WINAPI write_file(HANDLE handle, LPCVOID block, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    const char* path = path_of(handle);
    // The rule with the least room left decides how much of the block fits.
    Fault* full = nullptr;
    DWORD room = count;
    for (int i = 0; i < fault_count; ++i) {
        Fault& fault = faults[i];
        if (fault.call != call_write_file || !holds_text(path, fault.text)) continue;
        DWORD left = fault.passed < fault.after ? fault.after - fault.passed : 0;
        if (left < room) {
            room = left;
            full = &fault;
        }
    }
    DWORD done = 0;
    BOOL result = room == 0 || ::WriteFile(handle, block, room, &done, overlapped);
    for (int i = 0; i < fault_count; ++i) {
        if (faults[i].call == call_write_file && holds_text(path, faults[i].text)) faults[i].passed += done;
    }
    if (written) *written = done;
    if (!result || !full) return result;
    if (full->crash) ExitProcess(crashed_exit_code);
    SetLastError(full->error);
    return FALSE;
}

BOOL WINAPI set_file_time(HANDLE handle, const FILETIME* created, const FILETIME* accessed, const FILETIME* written) {
    if (Fault* fault = failing(call_set_file_time, path_of(handle))) {
        SetLastError(fault->error);
        return FALSE;
    }
    return ::SetFileTime(handle, created, accessed, written);
}

BOOL WINAPI move_file(LPCSTR from, LPCSTR to, DWORD flags) {
    if (Fault* fault = failing(call_move_file, from, to)) {
        SetLastError(fault->error);
        return FALSE;
    }
    return ::MoveFileExA(from, to, flags);
}

BOOL WINAPI delete_file(LPCSTR path) {
    if (Fault* fault = failing(call_delete_file, path)) {
        SetLastError(fault->error);
        return FALSE;
    }
    return ::DeleteFileA(path);
}

BOOL WINAPI create_directory(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    if (Fault* fault = failing(call_create_directory, path)) {
        SetLastError(fault->error);
        return FALSE;
    }
    return ::CreateDirectoryA(path, security);
}

LSTATUS WINAPI reg_create_key(HKEY parent, LPCSTR path, DWORD reserved, LPSTR key_class, DWORD options,
                              REGSAM access, const LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition) {
    char whole[1024];
    key_path_of(parent, path, whole);
    if (Fault* fault = failing(call_reg_create_key, whole)) return static_cast<LSTATUS>(fault->error);
    LSTATUS status = ::RegCreateKeyExA(parent, path, reserved, key_class, options, access, security, key, disposition);
    if (status == ERROR_SUCCESS) remember_key(*key, whole);
    return status;
}

LSTATUS WINAPI reg_open_key(HKEY parent, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
    char whole[1024];
    key_path_of(parent, path, whole);
    if (Fault* fault = failing(call_reg_open_key, whole)) return static_cast<LSTATUS>(fault->error);
    LSTATUS status = ::RegOpenKeyExA(parent, path, options, access, key);
    if (status == ERROR_SUCCESS) remember_key(*key, whole);
    return status;
}

LSTATUS WINAPI reg_set_value(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    char whole[1024];
    if (Fault* fault = failing(call_reg_set_value, key_path_of(key, name, whole)))
        return static_cast<LSTATUS>(fault->error);
    return ::RegSetValueExA(key, name, reserved, type, data, size);
}

LSTATUS WINAPI reg_delete_value(HKEY key, LPCSTR name) {
    char whole[1024];
    if (Fault* fault = failing(call_reg_delete_value, key_path_of(key, name, whole)))
        return static_cast<LSTATUS>(fault->error);
    return ::RegDeleteValueA(key, name);
}

LSTATUS WINAPI reg_delete_key(HKEY key, LPCSTR path) {
    char whole[1024];
    if (Fault* fault = failing(call_reg_delete_key, key_path_of(key, path, whole)))
        return static_cast<LSTATUS>(fault->error);
    return ::RegDeleteKeyA(key, path);
}

[[noreturn]] void unreadable(const char* rule) {
    char text[600];
    wsprintfA(text, "SEA_FAULTS: cannot read the rule\r\n%.500s", rule);
    MessageBoxA(nullptr, text, "SEA_FAULTS", MB_ICONHAND);
    ExitProcess(2);
}

// Reads a number behind "name=" in the options; false when it is not there.
bool read_option(const char* options, const char* name, unsigned long& out, const char* rule) {
    const char* found = strstr(options, name);
    if (!found) return false;
    char* end = nullptr;
    const char* digits = found + strlen(name);
    out = strtoul(digits, &end, 10);
    if (end == digits || (*end && *end != ':')) unreadable(rule);
    return true;
}

void read_rule(char* rule) {
    if (fault_count == max_faults) unreadable(rule);
    Fault& fault = faults[fault_count];
    char* options = nullptr;
    static const char* const option_names[] = {":after=", ":error=", ":crash"};
    for (const char* option : option_names) {
        char* found = strstr(rule, option);
        if (found && (!options || found < options)) options = found;
    }
    char* at = strchr(rule, '@');
    char* name_end = at && (!options || at < options) ? at : options ? options : rule + strlen(rule);
    int call = 0;
    while (call < call_count && (strlen(call_names[call]) != static_cast<size_t>(name_end - rule) ||
                                 strncmp(call_names[call], rule, name_end - rule) != 0))
        ++call;
    if (call == call_count) unreadable(rule);
    fault.call = static_cast<CallId>(call);
    fault.text[0] = 0;
    if (name_end == at) {
        size_t length = (options ? options : at + strlen(at)) - (at + 1);
        if (length == 0 || length >= sizeof fault.text) unreadable(rule);
        memcpy(fault.text, at + 1, length);
        fault.text[length] = 0;
    }
    fault.after = 0;
    fault.passed = 0;
    fault.crash = false;
    unsigned long code = ERROR_ACCESS_DENIED;
    if (options) {
        bool known = read_option(options, ":after=", fault.after, rule);
        known |= read_option(options, ":error=", code, rule);
        char* crash = strstr(options, ":crash");
        fault.crash = crash && (crash[6] == 0 || crash[6] == ':');
        if (!known && !fault.crash) unreadable(rule);
    }
    fault.error = code;
    ++fault_count;
}

struct FaultsFromEnvironment {
    FaultsFromEnvironment() {
        static char rules[4096];
        DWORD length = GetEnvironmentVariableA("SEA_FAULTS", rules, sizeof rules);
        if (length >= sizeof rules) unreadable("(longer than 4095 characters)");
        for (char* rule = rules; length && *rule;) {
            char* end = strchr(rule, ';');
            if (end) *end = 0;
            if (*rule) read_rule(rule);
            if (!end) break;
            rule = end + 1;
        }
    }
} faults_from_environment;

}  // namespace

SystemCalls system_calls = {
    create_file,    write_file,   set_file_time, move_file,        delete_file,    create_directory,
    reg_create_key, reg_open_key, reg_set_value, reg_delete_value, reg_delete_key,
};
