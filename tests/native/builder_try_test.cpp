// What `sea try` reads from a Wine prefix and compares: registry files in
// Wine's text form, the changes between two snapshots, and the uninstall
// command that the installation registered.
#include "builder/try.h"

#include <gtest/gtest.h>

namespace {

const char registry_text[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Vendor\\\\Product] 1796952409\n"
    "#time=1dd890eb1e1b554\n"
    "@=\"default text\"\n"
    "\"Install\\\\Location\"=\"C:\\\\Program Files\\\\P\"\n"
    "\"Say \\\"hi\\\"\"=dword:00000064\n"
    "\"Blob\"=hex:01,02,03,\\\n"
    "  04,05\n"
    "\n"
    "[Software\\\\Empty] 1796952409\n"
    "#time=1dd890eb1e1b554\n";

TEST(TrySnapshots, ReadWinesRegistryTextWithEveryKeyAbove) {
    Snapshot snapshot;
    read_registry_text(registry_text, "HKLM", snapshot);
    Snapshot expected = {
        {"HKLM", "key"},
        {"HKLM\\Software", "key"},
        {"HKLM\\Software\\Vendor", "key"},
        {"HKLM\\Software\\Vendor\\Product", "key"},
        {"HKLM\\Software\\Vendor\\Product > (default)", "\"default text\""},
        {"HKLM\\Software\\Vendor\\Product > Install\\Location", "\"C:\\\\Program Files\\\\P\""},
        {"HKLM\\Software\\Vendor\\Product > Say \"hi\"", "dword:00000064"},
        {"HKLM\\Software\\Vendor\\Product > Blob", "hex:01,02,03,04,05"},
        {"HKLM\\Software\\Empty", "key"},
    };
    EXPECT_EQ(snapshot, expected);
    EXPECT_EQ(registry_string(snapshot["HKLM\\Software\\Vendor\\Product > Install\\Location"]), "C:\\Program Files\\P");
    EXPECT_EQ(registry_string("dword:00000064"), "");
}

TEST(TrySnapshots, ChangesAreAddedRemovedOrChangedUnlessIgnored) {
    Snapshot before = {{"C:\\a", "folder"}, {"C:\\a\\gone.txt", "3 bytes"}, {"C:\\a\\same", "1 bytes"},
                       {"C:\\a\\edited", "1 bytes"}, {"HKCU\\Noisy > x", "1"}};
    Snapshot after = {{"C:\\a", "folder"}, {"C:\\a\\new.txt", "5 bytes"}, {"C:\\a\\same", "1 bytes"},
                      {"C:\\a\\edited", "2 bytes"}, {"HKCU\\Noisy > x", "2"}};
    std::vector<Change> found = changes_between(before, after, {"HKCU\\Noisy > x"});
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].entry, "C:\\a\\edited");
    EXPECT_EQ(found[0].before, "1 bytes");
    EXPECT_EQ(found[0].after, "2 bytes");
    EXPECT_EQ(found[1].entry, "C:\\a\\gone.txt");
    EXPECT_EQ(found[1].after, "");
    EXPECT_EQ(found[2].entry, "C:\\a\\new.txt");
    EXPECT_EQ(found[2].before, "");
}

TEST(TrySnapshots, TheUninstallCommandsProgramIsFoundWithOrWithoutQuotes) {
    struct Case {
        const char* command;
        bool found;
        const char* program;
        const char* line;
    } cases[] = {
        {"C:\\Program Files\\P\\Uninstall.EXE /a /u:\"P\"", true, "C:\\Program Files\\P\\Uninstall.EXE",
         "\"C:\\Program Files\\P\\Uninstall.EXE\" /a /u:\"P\""},
        {"\"C:\\Program Files\\P\\un.exe\" /a", true, "C:\\Program Files\\P\\un.exe",
         "\"C:\\Program Files\\P\\un.exe\" /a"},
        {"C:\\P\\Remove.exe", true, "C:\\P\\Remove.exe", "\"C:\\P\\Remove.exe\""},
        {"", false, "", ""},
        {"C:\\P\\remove.bat", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string program, line;
        EXPECT_EQ(split_uninstall_command(c.command, program, line), c.found) << c.command;
        if (!c.found) continue;
        EXPECT_EQ(program, c.program) << c.command;
        EXPECT_EQ(line, c.line) << c.command;
    }
}

}  // namespace
