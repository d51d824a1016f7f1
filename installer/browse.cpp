// The shell's folder dialog for the installation directory. It starts on
// the current choice; a typed path that is no existing folder comes back
// through the callback (browse_callback.cpp) in browse_result, and the
// dialog then returns no item.
#include <shlobj.h>

#include "installer/installer.h"

namespace {

const UINT browse_flags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE;

void free_item(IMalloc* allocator, LPITEMIDLIST item) {
    if (item) allocator->Free(item);
}

}  // namespace

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
