// Special folders and shortcuts. The COM identities are spelled out here
// rather than taken from the system's import library, so that the installer
// needs nothing from it.
//
// The shell takes a link's path as a wide text of at most 259 characters
// plus its terminator. A longer path is refused before anything is written:
// handed over cut short, the link would land at a different path than the
// one the caller records.
#include "platform/shell.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "platform/filesystem.h"
#include "platform/path.h"
#include "platform/registry.h"

namespace {

const GUID shell_link_class = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID shell_link_interface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const GUID persist_file_interface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Converts path into wide, which holds MAX_PATH characters with the
// terminator; false when it does not fit or cannot be converted.
bool to_wide_link_path(const String& path, WCHAR (&wide)[MAX_PATH]) {
    ZeroMemory(wide, sizeof(wide));
    int needed = MultiByteToWideChar(CP_ACP, 0, path.text(), path.length(), nullptr, 0);
    if (needed <= 0 || needed >= MAX_PATH) return false;
    return MultiByteToWideChar(CP_ACP, 0, path.text(), path.length(), wide, MAX_PATH - 1) == needed;
}

// Makes the folder of the link and saves it there.
bool save_link(IPersistFile* file, String& link_path) {
    add_link_extension(link_path);
    WCHAR wide[MAX_PATH];
    if (!to_wide_link_path(link_path, wide)) return false;
    create_directory(directory_of(link_path.text()).text());
    return file->Save(wide, TRUE) == S_OK;
}

bool create_shortcut_in(const String& folder, const char* name, const char* target, const char* arguments,
                        const char* working_dir, String* link_out) {
    String link_path = join_path(folder.text(), name);
    add_link_extension(link_path);
    if (link_out) *link_out = link_path;
    // Without its folder the link would land in whatever the current
    // directory is, and be reported as made.
    if (folder.is_empty()) return false;
    return create_shortcut(link_path, target, arguments, working_dir);
}

}  // namespace

String shell_folder(const char* name) {
    String path = formatted("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\%s", name);
    return read_registry_string(HKEY_CURRENT_USER, path.text(), "");
}

String current_version_value(const char* name) {
    String path = formatted("Software\\Microsoft\\Windows\\CurrentVersion\\%s", name);
    return read_registry_string(HKEY_LOCAL_MACHINE, path.text(), "");
}

String desktop_path() { return shell_folder("Desktop"); }
String start_menu_path() { return shell_folder("Start Menu"); }
String startup_path() { return shell_folder("Startup"); }
String fonts_path() { return shell_folder("Fonts"); }
String program_files_path() { return current_version_value("ProgramFilesDir"); }
String common_files_path() { return current_version_value("CommonFilesDir"); }

void add_link_extension(String& path) {
    if (path.find_no_case(".LNK") < 0) path.append(".LNK");
}

bool create_shortcut(String link_path, const char* target, const char* arguments, const char* working_dir) {
    if (!target) return false;
    if (FAILED(CoInitialize(nullptr))) return false;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(shell_link_class, nullptr, CLSCTX_INPROC_SERVER, shell_link_interface,
                                reinterpret_cast<void**>(&link)))) {
        CoUninitialize();
        return false;
    }
    link->SetPath(target);
    link->SetIconLocation(target, 0);
    if (arguments) link->SetArguments(arguments);
    if (working_dir) link->SetWorkingDirectory(working_dir);

    bool saved = false;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(persist_file_interface, reinterpret_cast<void**>(&file)))) {
        saved = save_link(file, link_path);
        file->Release();
    }
    link->Release();
    CoUninitialize();
    return saved;
}

bool create_desktop_shortcut(const char* name, const char* target, const char* arguments, const char* working_dir,
                             String* link_out) {
    return create_shortcut_in(desktop_path(), name, target, arguments, working_dir, link_out);
}

bool create_start_menu_shortcut(const char* name, const char* target, const char* arguments,
                                const char* working_dir, String* link_out) {
    return create_shortcut_in(start_menu_path(), name, target, arguments, working_dir, link_out);
}
