// The folders whose tree the uninstaller never deletes, whatever the
// uninstall key names as the installation's location: the system's own
// folders, the profiles and the shell's folders, and every folder above one
// of them. An installation into C:\Program Files itself (which the directory
// choice allows after a question), or a damaged location value, must not
// take the machine's programs with it.
#include "installer/installer.h"

namespace {

const char* const user_shell_folders[] = {"Desktop", "Start Menu", "Programs", "Startup", "Fonts", "Personal",
                                          "AppData", "Local AppData"};
const char* const common_shell_folders[] = {"Common Desktop", "Common Start Menu", "Common Programs",
                                            "Common Startup", "Common AppData", "Common Documents"};
const char* const profile_variables[] = {"USERPROFILE", "ALLUSERSPROFILE", "PUBLIC", "SystemRoot"};

// Absolute, without a trailing backslash; empty when it cannot be made so.
String normal_folder(const char* path) {
    if (!path || !*path) return String();
    char full[MAX_PATH * 2];
    DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return String();
    String folder(full);
    while (folder.length() > 3 && folder.ends_with_char('\\')) folder.remove_last_char();
    return folder;
}

// The folder itself, or one of its parents.
bool covers(const String& candidate, const char* system_folder) {
    String folder = normal_folder(system_folder);
    if (folder.is_empty() || folder.length() < candidate.length()) return false;
    if (folder.length() == candidate.length()) return folder.compare_no_case(candidate.text()) == 0;
    String head;
    folder.substring(head, candidate.length());
    if (head.compare_no_case(candidate.text()) != 0) return false;
    return candidate.ends_with_char('\\') || folder.char_at(candidate.length()) == '\\';
}

String common_shell_folder(const char* name) {
    String path = formatted("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\%s", name);
    return read_registry_string(HKEY_LOCAL_MACHINE, path.text(), "");
}

String environment_folder(const char* name) {
    char value[MAX_PATH * 2];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value) return String();
    return String(value);
}

}  // namespace

bool is_protected_folder(const char* path) {
    String candidate = normal_folder(path);
    if (candidate.is_empty()) return true;
    char system[MAX_PATH];
    if (GetWindowsDirectoryA(system, sizeof system) && covers(candidate, system)) return true;
    if (GetSystemDirectoryA(system, sizeof system) && covers(candidate, system)) return true;
    if (covers(candidate, program_files_path().text()) || covers(candidate, common_files_path().text())) return true;
    for (const char* name : user_shell_folders)
        if (covers(candidate, shell_folder(name).text())) return true;
    for (const char* name : common_shell_folders)
        if (covers(candidate, common_shell_folder(name).text())) return true;
    for (const char* name : profile_variables)
        if (covers(candidate, environment_folder(name).text())) return true;
    return false;
}
