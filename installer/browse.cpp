// The shell's folder dialog for the installation directory. It starts on
// the current choice, and a typed path that is no existing folder comes back
// through the callback (the dialog then returns no item): the callback
// refuses what can never be a directory and keeps the rest in browse_result.
#include <shlobj.h>

#include "installer/installer.h"

String browse_result;

namespace {

const UINT browse_flags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE;
const int edit_box_id = 14148;

int refuse_typed(HWND window, const char* text) {
    MessageBoxA(window, text, "Error", MB_ICONHAND);
    return 1;
}

int check_typed_path(HWND window, const char* typed) {
    browse_result = typed;
    if (browse_result.is_empty()) return 1;
    if (!is_valid_path(browse_result)) {
        String text = formatted("This file path is illegal:\r\n%s", browse_result.text());
        return refuse_typed(window, text.text());
    }
    if (!has_drive_root(browse_result.text()))
        return refuse_typed(window, "You must specify a complete drive and path such as \"c:\\work\"");
    if (browse_result.length() <= 3) return refuse_typed(window, "You cannot install to the root of a drive.");
    return 0;
}

void free_item(IMalloc* allocator, LPITEMIDLIST item) {
    if (item) allocator->Free(item);
}

}  // namespace

int CALLBACK browse_callback(HWND window, UINT message, LPARAM parameter, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        center_window(window);
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
        SetDlgItemTextA(window, edit_box_id, reinterpret_cast<const char*>(data));
        return 0;
    }
    if (message == BFFM_VALIDATEFAILEDA) return check_typed_path(window, reinterpret_cast<const char*>(parameter));
    return 0;
}

bool browse_for_directory(String& directory, const char* prompt) {
    LPITEMIDLIST root = nullptr;
    core_assert(SUCCEEDED(SHGetSpecialFolderLocation(background_window, CSIDL_DRIVES, &root)));
    BROWSEINFOA browse = {};
    browse.hwndOwner = background_window;
    browse.pidlRoot = root;
    browse.lpszTitle = prompt;
    browse.ulFlags = browse_flags;
    browse.lpfn = browse_callback;
    browse.lParam = reinterpret_cast<LPARAM>(directory.text());
    browse_result.clear();
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    IMalloc* allocator = nullptr;
    bool have_allocator = SUCCEEDED(SHGetMalloc(&allocator));
    if (!chosen) {
        if (have_allocator) {
            free_item(allocator, root);
            allocator->Release();
        }
        if (browse_result.is_empty()) return false;
        directory = browse_result;
        return true;
    }
    char path[MAX_PATH] = "";
    bool ok = SHGetPathFromIDListA(chosen, path) != FALSE;
    if (have_allocator) {
        free_item(allocator, chosen);
        free_item(allocator, root);
        allocator->Release();
    }
    directory = path;
    return ok;
}
