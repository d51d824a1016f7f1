// The program's entry point. The installer runs elevated from a folder that
// any program of the user can write to (a Downloads folder), and Windows
// looks for a DLL loaded by name first in the program's own folder, so a DLL
// planted beside the installer would run with administrator rights. The
// search is restricted to System32 here, before the C runtime starts and
// before any static constructor, and so before anything can load a DLL late.
// The import table names only DLLs that the system takes from System32 (its
// known DLLs) or, for the common controls, from the side-by-side store that
// the manifest names.
#include "installer/installer.h"

extern "C" int WinMainCRTStartup();

namespace {

const DWORD search_system32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryFunction)(LPCSTR);

}  // namespace

void restrict_dll_search() {
    // Resolved at run time: older systems lack both functions, and kernel32
    // is already loaded, so looking it up loads nothing.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    auto set_default_directories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set_default_directories && set_default_directories(search_system32)) return;
    // Without it, an empty DLL directory at least takes the current
    // directory out of the search.
    auto set_dll_directory = reinterpret_cast<SetDllDirectoryFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
    if (set_dll_directory) set_dll_directory("");
}

extern "C" int sea_entry() {
    restrict_dll_search();
    return WinMainCRTStartup();
}
