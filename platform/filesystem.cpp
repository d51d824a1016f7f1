// Directories, drives, files and child processes over the A variants of the
// Win32 calls.
//
// Whole trees are deleted here (the uninstaller's install location comes from
// the registry), so the guard against a drive root looks at the path the
// system would resolve, not only at its text.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "platform/filesystem.h"
#include "platform/path.h"
#include "platform/system_calls.h"

namespace {

// C:\., C:\a\.. and C:\\ all name the root of C: while being longer than it.
bool names_drive_root(const char* path) {
    if (strlen(path) <= 3) return true;
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return false;
    String resolved(full);
    resolved.remove_trailing('\\');
    return resolved.length() <= 2;
}

}  // namespace

bool directory_exists(const char* path) {
    if (!path || !*path) return false;
    String remembered = current_directory();
    if (!SetCurrentDirectoryA(path)) return false;
    SetCurrentDirectoryA(remembered.text());
    return true;
}

bool create_directory(const char* path) {
    if (!path || !*path) return false;
    if (directory_exists(path)) return true;
    String parent = directory_of(path);
    // The directory part of a missing drive's root is that root again: it is
    // left to CreateDirectoryA to refuse rather than asked for forever.
    if (!parent.is_empty() && strcmp(parent.text(), path) != 0 && !create_directory(parent.text()))
        return false;
    // A path written with a trailing backslash was already made as its own
    // parent just above; it counts as created.
    return system_call(CreateDirectoryA)(path, nullptr) || directory_exists(path);
}

void create_directory_or_fail(const char* path) {
    if (!create_directory(path)) fatal_error("Unable to create directory:\r\n%s", path);
}

bool remove_directory(String path) {
    if (path.length() <= 3) return false;
    path.remove_trailing('\\');
    return RemoveDirectoryA(path.text()) != FALSE;
}

bool delete_directory_tree(const char* path) {
    if (!path || names_drive_root(path)) return false;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(join_path(path, "*.*").text(), &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool all_gone = true;
    do {
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) continue;
        String inner = join_path(path, entry.cFileName);
        bool gone = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? delete_directory_tree(inner.text())
                                                                        : delete_file(inner.text());
        if (!gone) all_gone = false;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return remove_directory(path) && all_gone;
}

bool delete_file(const char* path) {
    if (!path) return false;
    SetFileAttributesA(path, 0);
    return system_call(DeleteFileA)(path) != FALSE;
}

bool replace_file(const char* source, const char* target) {
    return system_call(MoveFileExA)(source, target, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool file_exists(const char* path) {
    if (!path) return false;
    FILE* stream = fopen(path, "r");
    if (!stream) return false;
    fclose(stream);
    return true;
}

bool drive_exists(char letter) {
    return GetDriveTypeA(formatted("%c:\\", letter).text()) != DRIVE_NO_ROOT_DIR;
}

bool run_program(const char* command_line, u32 options) {
    if (!command_line || !*command_line) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (options & run_maximized) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMAXIMIZED;
    }
    PROCESS_INFORMATION process;
    // The system may write into the command line it is given.
    String line(command_line);
    if (!CreateProcessA(nullptr, line.buffer(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

String current_directory() {
    String directory;
    DWORD room = 99;
    for (;;) {
        directory.set_length(static_cast<i32>(room));
        DWORD length = GetCurrentDirectoryA(room, directory.buffer());
        if (length == 0) return String();
        if (length < room) {
            directory.set_length(static_cast<i32>(length));
            return directory;
        }
        // Too small: length is the size the text needs with its terminator.
        room = length;
    }
}

String program_path() {
    String path;
    path.set_length(MAX_PATH);
    // The installer is the process's own executable, whose module is the
    // instance handle it was started with.
    DWORD length = GetModuleFileNameA(nullptr, path.buffer(), MAX_PATH);
    path.set_length(static_cast<i32>(length < MAX_PATH ? length : 0));
    return path;
}

String program_directory() { return directory_of(program_path().text()); }
