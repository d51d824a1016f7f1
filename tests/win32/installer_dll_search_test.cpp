// The entry point's defence against DLLs planted beside the installer: under
// Wine no DLL that the installer loads late is taken from its folder (they
// are all built in), so a bare-name LoadLibraryA stands for one. The
// planted DLL comes beside this program through the test's run.
#include <gtest/gtest.h>

#include <string>

#include "installer/installer.h"

namespace {

std::string program_folder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.rfind('\\') + 1);
}

}  // namespace

TEST(DllSearch, PlantedDllLoadsByNameOnlyUntilTheSearchIsRestricted) {
    std::string folder = program_folder();
    // A second name: a module once loaded is found again by its name alone.
    ASSERT_TRUE(CopyFileA((folder + "planted.dll").c_str(), (folder + "planted_late.dll").c_str(), FALSE));
    // Without the defence the program's folder is searched first.
    EXPECT_NE(LoadLibraryA("planted.dll"), nullptr);
    restrict_dll_search();
    EXPECT_EQ(LoadLibraryA("planted_late.dll"), nullptr);
    // System DLLs still load by name, and a full path still loads.
    EXPECT_NE(LoadLibraryA("version.dll"), nullptr);
    EXPECT_NE(LoadLibraryA((folder + "planted_late.dll").c_str()), nullptr);
}
