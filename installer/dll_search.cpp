// Restricting the search for DLLs loaded by name to System32 (see entry.cpp
// for why).
#include "installer/installer.h"

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

