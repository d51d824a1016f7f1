// Special folders and shortcuts under Wine. The folder tests put their own
// texts into the registry values the functions read and put the prefix's
// texts back afterwards; the shortcut tests write real .LNK files below
// C:\tests and on the sandbox's desktop and read them back through the
// shell-link object, so what is checked is what the shell itself finds in
// the file.
#include <gtest/gtest.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <string.h>

#include <string>

#include "platform/shell.h"

namespace {

const char* const shell_folders_key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const current_version_key = "Software\\Microsoft\\Windows\\CurrentVersion";
const char* const target = "C:\\tests\\platform_win32_tests.exe";

// A REG_SZ value of the prefix that a test replaces and puts back.
class SavedValue {
public:
    SavedValue(HKEY root, const char* key, const char* name) : name_(name) {
        RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS, &key_);
        char text[1024];
        DWORD size = sizeof(text), type = REG_NONE;
        had_ = RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == 0;
        if (had_) original_.assign(text, strnlen(text, size));
    }
    ~SavedValue() {
        if (had_) set(original_.c_str());
        else remove();
        RegCloseKey(key_);
    }
    void set(const char* text) {
        RegSetValueExA(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), strlen(text) + 1);
    }
    void remove() { RegDeleteValueA(key_, name_); }
    const std::string& original() const { return original_; }

private:
    HKEY key_ = nullptr;
    const char* name_;
    bool had_ = false;
    std::string original_;
};

struct Link {
    bool loaded = false;
    std::string path, arguments, working_dir, icon;
    int icon_index = -1;
};

// Loads a .LNK file with the shell-link object and reads back its fields.
Link read_link(const std::string& file) {
    Link link;
    CoInitialize(nullptr);
    IShellLinkA* shell_link = nullptr;
    IPersistFile* persist = nullptr;
    WCHAR wide[MAX_PATH] = {0};
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shell_link))) &&
        SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        persist->Load(wide, STGM_READ) == S_OK) {
        char text[MAX_PATH * 4];
        link.loaded = true;
        if (shell_link->GetPath(text, sizeof(text), nullptr, SLGP_RAWPATH) == S_OK) link.path = text;
        if (shell_link->GetArguments(text, sizeof(text)) == S_OK) link.arguments = text;
        if (shell_link->GetWorkingDirectory(text, sizeof(text)) == S_OK) link.working_dir = text;
        if (shell_link->GetIconLocation(text, sizeof(text), &link.icon_index) == S_OK) link.icon = text;
    }
    if (persist) persist->Release();
    if (shell_link) shell_link->Release();
    CoUninitialize();
    return link;
}

bool file_there(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string text_of(const String& text) { return std::string(text.text(), text.length()); }

TEST(SpecialFolders, EachReadsItsOwnRegistryValue) {
    struct Case {
        String (*read)();
        HKEY root;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {desktop_path, HKEY_CURRENT_USER, shell_folders_key, "Desktop"},
        {start_menu_path, HKEY_CURRENT_USER, shell_folders_key, "Start Menu"},
        {startup_path, HKEY_CURRENT_USER, shell_folders_key, "Startup"},
        {fonts_path, HKEY_CURRENT_USER, shell_folders_key, "Fonts"},
        {program_files_path, HKEY_LOCAL_MACHINE, current_version_key, "ProgramFilesDir"},
        {common_files_path, HKEY_LOCAL_MACHINE, current_version_key, "CommonFilesDir"},
    };
    for (const Case& c : cases) {
        SavedValue saved(c.root, c.key, c.value);
        EXPECT_FALSE(saved.original().empty()) << c.value << ": the prefix holds every folder";
        EXPECT_EQ(text_of(c.read()), saved.original()) << c.value;
        std::string mine = std::string("X:\\SEA probe\\") + c.value;
        saved.set(mine.c_str());
        EXPECT_EQ(text_of(c.read()), mine) << c.value;
    }
}

TEST(SpecialFolders, AFolderTheRegistryDoesNotHoldIsEmpty) {
    {
        SavedValue desktop(HKEY_CURRENT_USER, shell_folders_key, "Desktop");
        desktop.remove();
        EXPECT_EQ(text_of(desktop_path()), "");
    }
    EXPECT_NE(text_of(desktop_path()), "") << "the prefix's value is back";

    // Reading below a key that is missing creates that key.
    std::string missing = std::string(shell_folders_key) + "\\SEA Tests";
    RegDeleteKeyA(HKEY_CURRENT_USER, missing.c_str());
    EXPECT_EQ(text_of(shell_folder("SEA Tests\\Desktop")), "");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, missing.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, missing.c_str());
}

TEST(Shortcuts, TheLinkExtensionIsAddedOnlyWhenNoCaseOfItOccurs) {
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\x\\App", "C:\\x\\App.LNK"},
        {"C:\\x\\App.lnk", "C:\\x\\App.lnk"},
        {"C:\\x\\App.LnK", "C:\\x\\App.LnK"},
        {"C:\\x.lnk\\App", "C:\\x.lnk\\App"},
        {"C:\\x\\App.ln", "C:\\x\\App.ln.LNK"},
        {"C:\\x\\App.exe", "C:\\x\\App.exe.LNK"},
        {"", ".LNK"},
    };
    for (const Case& c : cases) {
        String path(c.path);
        add_link_extension(path);
        EXPECT_EQ(text_of(path), c.expected) << c.path;
    }
}

TEST(Shortcuts, ALinkCarriesItsTargetArgumentsWorkingDirectoryAndIcon) {
    struct Case {
        const char* link;
        const char* arguments;
        const char* working_dir;
    };
    const Case cases[] = {
        {"C:\\tests\\full", "/u:\"Demo Product\"", "C:\\tests"},
        {"C:\\tests\\bare.lnk", nullptr, nullptr},
        {"C:\\tests\\empty texts", "", ""},
        {"C:\\tests\\arguments only", "--flag", nullptr},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(create_shortcut(c.link, target, c.arguments, c.working_dir)) << c.link;
        String file(c.link);
        add_link_extension(file);
        Link link = read_link(text_of(file));
        ASSERT_TRUE(link.loaded) << c.link;
        EXPECT_EQ(link.path, target) << c.link;
        EXPECT_EQ(link.arguments, c.arguments ? c.arguments : "") << c.link;
        EXPECT_EQ(link.working_dir, c.working_dir ? c.working_dir : "") << c.link;
        EXPECT_EQ(link.icon, target) << c.link;
        EXPECT_EQ(link.icon_index, 0) << c.link;
    }
    EXPECT_FALSE(file_there("C:\\tests\\bare.lnk.LNK"));
}

TEST(Shortcuts, TheFolderOfALinkIsCreatedWhenMissing) {
    ASSERT_FALSE(file_there("C:\\tests\\new"));
    EXPECT_TRUE(create_shortcut("C:\\tests\\new\\deeper\\Program", target, nullptr, nullptr));
    EXPECT_TRUE(read_link("C:\\tests\\new\\deeper\\Program.LNK").loaded);
}

TEST(Shortcuts, ALinkPathOfTwoHundredSixtyCharactersOrMoreFails) {
    // A folder name and a link name within the 255 of one component.
    const std::string folder = "C:\\tests\\long\\" + std::string(200, 'f');
    auto link_of_length = [&](size_t length) {  // ".LNK" included
        return folder + "\\" + std::string(length - folder.size() - 1 - 4, 'n');
    };

    std::string longest = link_of_length(259);
    EXPECT_TRUE(create_shortcut(longest.c_str(), target, nullptr, nullptr));
    EXPECT_TRUE(read_link(longest + ".LNK").loaded);

    for (size_t length : {260u, 261u, 300u}) {
        std::string name = link_of_length(length);
        EXPECT_FALSE(create_shortcut(name.c_str(), target, nullptr, nullptr)) << length;
        EXPECT_FALSE(file_there(name + ".LNK")) << length;
        // Cut to what fits, the path would name another file.
        EXPECT_FALSE(file_there((name + ".LNK").substr(0, 259))) << length;
    }
    std::string elsewhere = "C:\\tests\\unmade\\" + std::string(250, 'n');
    EXPECT_FALSE(create_shortcut(elsewhere.c_str(), target, nullptr, nullptr));
    EXPECT_FALSE(file_there("C:\\tests\\unmade")) << "nothing is made for a link that cannot be";
}

TEST(Shortcuts, DesktopAndStartMenuLinksLandInTheirFolders) {
    String link;
    ASSERT_TRUE(create_desktop_shortcut("SEA Demo", target, "/a", "C:\\tests", &link));
    EXPECT_EQ(text_of(link), text_of(desktop_path()) + "\\SEA Demo.LNK");
    Link desktop = read_link(text_of(link));
    EXPECT_TRUE(desktop.loaded);
    EXPECT_EQ(desktop.arguments, "/a");

    ASSERT_TRUE(create_start_menu_shortcut("Programs\\SEA Group\\Demo.lnk", target, nullptr, nullptr, &link));
    EXPECT_EQ(text_of(link), text_of(start_menu_path()) + "\\Programs\\SEA Group\\Demo.lnk");
    EXPECT_TRUE(read_link(text_of(link)).loaded);

    EXPECT_TRUE(create_desktop_shortcut("Without out", target, nullptr, nullptr, nullptr));
    EXPECT_TRUE(file_there(text_of(desktop_path()) + "\\Without out.LNK"));
}

TEST(Shortcuts, TheLinkPathComesBackEvenWhenTheLinkFails) {
    String link;
    std::string name(300, 'n');
    EXPECT_FALSE(create_desktop_shortcut(name.c_str(), target, nullptr, nullptr, &link));
    EXPECT_EQ(text_of(link), text_of(desktop_path()) + "\\" + name + ".LNK");

    EXPECT_FALSE(create_start_menu_shortcut("Programs\\SEA Group\\No target", nullptr, nullptr, nullptr, &link));
    EXPECT_EQ(text_of(link), text_of(start_menu_path()) + "\\Programs\\SEA Group\\No target.LNK");
    EXPECT_FALSE(file_there(text_of(link)));

    // Without a desktop folder the link would land in the current directory.
    SavedValue desktop(HKEY_CURRENT_USER, shell_folders_key, "Desktop");
    desktop.remove();
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_FALSE(create_desktop_shortcut("Nowhere", target, nullptr, nullptr, &link));
    EXPECT_EQ(text_of(link), "Nowhere.LNK");
    EXPECT_FALSE(file_there(std::string(current) + "\\Nowhere.LNK"));
}

}  // namespace
