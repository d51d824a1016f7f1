// The program's entry point. The installer runs elevated from a folder that
// any program of the user can write to (a Downloads folder), and Windows
// looks for a DLL loaded by name first in the program's own folder, so a DLL
// planted beside the installer would run with administrator rights. The
// search is restricted to System32 here, before anything else runs, static
// constructors included, and so before anything can load a DLL late.
// The import table names only DLLs that the system takes from System32 (its
// known DLLs) or, for the common controls, from the side-by-side store that
// the manifest names.
#include "installer/installer.h"

// The linker's list of static constructors: a count or -1, the constructors,
// then 0. They run last to first, as the C runtime would run them.
typedef void (*Constructor)();
extern Constructor __CTOR_LIST__[];

namespace {

void run_static_constructors() {
    size_t count = 0;
    while (__CTOR_LIST__[count + 1]) ++count;
    while (count > 0) __CTOR_LIST__[count--]();
}

// The command line behind the program's own name, as the C runtime hands it
// to WinMain.
char* command_tail() {
    char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p > ' ') ++p;
    }
    while (*p && *p <= ' ') ++p;
    return p;
}

}  // namespace

// Static objects register their destructors here. The run ends in
// ExitProcess, which runs none, and there is no C runtime table to keep them
// in, so nothing is kept.
extern "C" int atexit(void (*)(void)) { return 0; }

// The stub starts here rather than in the C runtime's start-up, which it
// does not need: msvcrt.dll initialises itself when it is loaded, and the
// stub has no thread-local data, no pseudo-relocations and no arguments
// vector to build. That start-up cost some 8 KB.
extern "C" void sea_entry() {
    restrict_dll_search();
    run_static_constructors();
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, command_tail(), SW_SHOWDEFAULT)));
}
