// Manifests: every key reaching its header field or record, directories and
// patterns expanded in an order of their own, dates from the manifest, the
// disk or SOURCE_DATE_EPOCH, and a message naming the entry for each kind of
// bad input.
#include "builder_fixtures.h"

#include "builder/manifest.h"
#include "builder/starting_manifest.h"

#include <unistd.h>

#include <algorithm>
#include <regex>
#include <sstream>

namespace {

class Manifests : public ScratchDirectory {
protected:
    Manifest load(const std::string& text, const ManifestOptions& options = ManifestOptions()) {
        return load_manifest(write("m.toml", text), options);
    }

    // The message of the ManifestError that loading the text raises.
    std::string error_of(const std::string& text, const ManifestOptions& options = ManifestOptions()) {
        try {
            load(text, options);
        } catch (const ManifestError& error) {
            return error.what();
        }
        return "(no error)";
    }
};

std::string text(const String& value) { return value.text(); }

TEST_F(Manifests, FillsTheHeaderInTheInstallersCodePageAndLineEnds) {
    write("licence.txt", "Terms\nmore terms\n");
    Manifest manifest = load(
        "product_name = \"Caf\xC3\xA9 Demo\"\n"
        "publisher = \"Vendor\"\n"
        "version = \"2.5\"\n"
        "default_directory = 'C:\\Program Files\\Demo'\n"
        "start_menu_folder = \"Demo\"\n"
        "product_registry = 'Software\\Vendor\\Demo'\n"
        "flags = [\"uninstall_support\", \"compressed_payload\", \"automatic\"]\n"
        "welcome = \"Welcome to <product>.\\nEnjoy.\"\n"
        "licence_file = \"licence.txt\"\n"
        "batch_after = \"echo one\\r\\necho two\"\n");
    const ArchiveHeader& h = manifest.header;
    EXPECT_EQ(text(h.product_name), "Caf\xE9 Demo");
    EXPECT_EQ(text(h.publisher), "Vendor");
    EXPECT_EQ(text(h.version_text), "2.5");
    EXPECT_EQ(text(h.default_directory), "C:\\Program Files\\Demo");
    EXPECT_EQ(text(h.start_menu_folder), "Demo");
    EXPECT_EQ(text(h.product_registry), "Software\\Vendor\\Demo");
    EXPECT_EQ(h.flags, header_flag::uninstall_support | header_flag::compressed_payload | header_flag::automatic);
    EXPECT_EQ(text(h.welcome_text), "Welcome to <product>.\r\nEnjoy.");
    EXPECT_EQ(text(h.licence_text), "Terms\r\nmore terms\r\n");
    EXPECT_EQ(text(h.batch_after), "echo one\r\necho two");
    EXPECT_TRUE(h.readme_text.is_empty());
    EXPECT_TRUE(manifest.files.empty());
}

TEST_F(Manifests, DescribesEachFile) {
    write("bin/demo.exe", "program");
    write("fonts/Demo.ttf", "font");
    Manifest manifest = load(
        "product_name = \"Demo\"\n"
        "[[file]]\n"
        "source = \"bin/demo.exe\"\n"
        "name = \"tools/demo.exe\"\n"
        "kind = \"startup\"\n"
        "shortcuts = [\"desktop\", \"start_menu\"]\n"
        "label = \"Demo program\"\n"
        "date = 2001-02-03 14:05:09\n"
        "[[file]]\n"
        "source = \"fonts/Demo.ttf\"\n"
        "kind = \"font\"\n"
        "date = \"none\"\n");
    ASSERT_EQ(manifest.files.size(), 2u);
    const ManifestFile& program = manifest.files[0];
    EXPECT_EQ(program.name, "tools\\demo.exe");
    EXPECT_EQ(program.kind, kind_startup_program);
    EXPECT_EQ(program.shortcut_flags, shortcut_desktop | shortcut_start_menu);
    EXPECT_EQ(program.label, "Demo program");
    EXPECT_EQ(program.date.year, 2001);
    EXPECT_EQ(program.date.month, 2);
    EXPECT_EQ(program.date.second, 9);
    EXPECT_EQ(program.size, 7u);
    const ManifestFile& font = manifest.files[1];
    EXPECT_EQ(font.name, "Demo.ttf");
    EXPECT_EQ(font.kind, kind_font);
    EXPECT_EQ(font.label, "Demo");
    EXPECT_FALSE(font.date.is_set());
}

TEST_F(Manifests, DirectoriesAndPatternsExpandInByteOrder) {
    for (const char* name : {"docs/b.txt", "docs/C.txt", "docs/a.txt", "docs/sub/c.txt", "docs/skip.md"}) write(name, name);
    Manifest manifest = load(
        "product_name = \"Demo\"\nflags = [\"uninstall_support\"]\n"
        "[[file]]\nsource = \"docs\"\nname = \"help\"\n"
        "[[file]]\nsource = \"docs/*.txt\"\nkind = \"shared\"\n");
    std::vector<std::string> names;
    for (const ManifestFile& file : manifest.files) names.push_back(file.name);
    EXPECT_EQ(names, (std::vector<std::string>{"help\\C.txt", "help\\a.txt", "help\\b.txt", "help\\skip.md",
                                               "help\\sub\\c.txt", "C.txt", "a.txt", "b.txt"}));
    EXPECT_EQ(manifest.files[4].label, "c");
    EXPECT_EQ(manifest.files[5].kind, kind_shared);
}

TEST_F(Manifests, SourcesMayNameEnvironmentVariables) {
    write("built/tool.exe", "x");
    setenv("SEA_TEST_BUILT", path("built").c_str(), 1);
    Manifest manifest = load("product_name = \"Demo\"\n[[file]]\nsource = \"${SEA_TEST_BUILT}/tool.exe\"\n");
    ASSERT_EQ(manifest.files.size(), 1u);
    EXPECT_EQ(manifest.files[0].source, path("built") + "/tool.exe");
    unsetenv("SEA_TEST_BUILT");
}

TEST_F(Manifests, DatesComeFromTheDiskUnlessFixed) {
    write("old.txt", "old");
    write("new.txt", "new");
    touch("old.txt", 1000000000);
    touch("new.txt", 1700000000);
    const std::string files = "[[file]]\nsource = \"old.txt\"\n[[file]]\nsource = \"new.txt\"\n";

    Manifest plain = load("product_name = \"Demo\"\n" + files);
    EXPECT_EQ(seconds_of_local_date(plain.files[0].date), 1000000000);
    EXPECT_EQ(seconds_of_local_date(plain.files[1].date), 1700000000);

    // SOURCE_DATE_EPOCH holds back what is later and leaves what is earlier.
    ManifestOptions clamped;
    clamped.source_date_epoch = 1500000000;
    Manifest reproducible = load("product_name = \"Demo\"\n" + files, clamped);
    EXPECT_EQ(seconds_of_local_date(reproducible.files[0].date), 1000000000);
    EXPECT_EQ(seconds_of_local_date(reproducible.files[1].date), 1500000000);

    // A date in the manifest wins over both; a file's own over the default.
    Manifest fixed = load("product_name = \"Demo\"\ndate = 2010-05-06 07:08:09\n" + files +
                              "date = 1999-12-31 23:59:58\n",
                          clamped);
    EXPECT_EQ(fixed.files[0].date.year, 2010);
    EXPECT_EQ(fixed.files[0].date.second, 9);
    EXPECT_EQ(fixed.files[1].date.year, 1999);
}

TEST_F(Manifests, BadInputNamesItsEntry) {
    write("a.txt", "a");
    write("dir/x.txt", "x");
    const std::string head = "product_name = \"Demo\"\n";
    const std::string one = "[[file]]\nsource = \"a.txt\"\n";
    struct Case {
        std::string text;
        std::vector<std::string> message;
    };
    const Case cases[] = {
        {head + "prodcut = \"x\"\n", {"m.toml:2: prodcut: unknown key"}},
        {head + one + "[[file]]\nsource = \"a.txt\"\nlable = \"x\"\n", {"m.toml:4: file #2 (a.txt)", "unknown key \"lable\""}},
        {head + one + one + "[[file]]\nsource = \"missing.txt\"\n", {"file #3 (missing.txt)", "source not found"}},
        {head + "[[file]]\nsource = \"dir/*.exe\"\n", {"file #1 (dir/*.exe)", "no file matches"}},
        {head + one + "name = \"\"\n", {"file #1 (a.txt)", "the name is empty"}},
        {head + one + "name = '..\\a.txt'\n", {"file #1", "\"..\\a.txt\"", "leaves its folder"}},
        {head + one + "name = 'x/../../a.txt'\n", {"file #1", "leaves its folder"}},
        {head + one + "name = '\\Windows\\a.txt'\n", {"file #1", "root"}},
        {head + one + "name = 'C:a.txt'\n", {"file #1", "drive"}},
        {head + one + "name = 'sub\\a.txt:b'\n", {"file #1", "drive"}},
        {head + one + "kind = \"shared\"\n", {"m.toml:2: file #1 (a.txt)", "needs the option uninstall_support",
                                              "add \"uninstall_support\" to flags"}},
        {head + "flags = [\"compressed_payload\"]\n" + one + one + "kind = \"shared\"\n",
         {"m.toml:5: file #2 (a.txt)", "uninstall_support"}},
        {head + one + "name = 'a?.txt'\n", {"file #1", "character"}},
        {head + "[[file]]\nsource = \"dir\"\nlabel = \"x\"\n", {"file #1 (dir)", "a label needs a source of one file"}},
        {head + one + "kind = \"library\"\n", {"file #1", "unknown kind \"library\""}},
        {head + one + "kind = \"shared\"\nshortcuts = [\"desktop\"]\n", {"file #1", "programs and startup programs"}},
        {head + one + "shortcuts = [\"taskbar\"]\n", {"file #1", "unknown shortcut \"taskbar\""}},
        {head + one + "kind = \"font\"\nname = 'sub\\a.ttf'\n", {"file #1", "Fonts folder"}},
        {head + one + "date = 2001-02-03T04:05:06Z\n", {"file #1", "local time"}},
        {head + "[[file]]\nsource = \"${SEA_TEST_UNSET_VARIABLE}/a.txt\"\n", {"file #1", "SEA_TEST_UNSET_VARIABLE is not set"}},
        {head + "flags = [\"compressed\"]\n", {"m.toml:2: flags", "unknown option \"compressed\""}},
        {head + "readme = \"x\"\nreadme_file = \"a.txt\"\n", {"m.toml:3: readme_file", "not both"}},
        {head + "welcome_file = \"nowhere.txt\"\n", {"welcome_file", "cannot read"}},
        {head + "welcome = \"\xE2\x82\xAC and \xE2\x98\x83\"\n", {"m.toml:2: welcome", "Windows-1252"}},
        {head + "publisher = \"two\\nlines\"\n", {"m.toml:2: publisher", "one line"}},
        {"publisher = \"Vendor\"\n", {"product_name", "needs a name"}},
        {head + "[file]\nsource = \"a.txt\"\n", {"m.toml", "[[file]]"}},
        {head + "product_name = \"again\"\n", {"m.toml:2"}},
    };
    for (const Case& c : cases) {
        std::string message = error_of(c.text);
        for (const std::string& part : c.message)
            EXPECT_NE(message.find(part), std::string::npos) << "expected \"" << part << "\" in: " << message;
    }
}

// The whole message, with the scratch directory left out, for the faults
// whose wording a packager has to act on.
TEST_F(Manifests, MessagesPointAtTheFault) {
    write("a.txt", "a");
    write("licence.txt", "a");
    write("Readme.txt", "r");
    write("arrow.txt", "Terms\nof use \xE2\x86\x92 here\n");
    write("latin1.txt", "Line one\nCaf\xE9\n");
    const std::string head = "product_name = \"Demo\"\n";
    const std::string one = "[[file]]\nsource = \"a.txt\"\n";
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {head + "prodcut_name = \"x\"\n", "m.toml:2: prodcut_name: unknown key; did you mean product_name?"},
        {head + "licence_flie = \"x\"\n", "m.toml:2: licence_flie: unknown key; did you mean licence_file?"},
        {head + "colour = \"x\"\n", "m.toml:2: colour: unknown key"},
        {head + "[[file]]\nsourc = \"a.txt\"\n",
         "m.toml:2: file #1: unknown key \"sourc\" (source, name, kind, shortcuts, label, date)"},
        {head + one + "date = \"soon\"\n",
         "m.toml:2: file #1 (a.txt): date: \"soon\" is not a date: write a local date and time "
         "(2024-06-01 12:00:00, quoted or not) or \"none\""},
        {head + "date = \"2024-02-30\"\n", "m.toml:2: date: \"2024-02-30\" is not a date: write a local date and "
                                           "time (2024-06-01 12:00:00, quoted or not) or \"none\""},
        {head + "date = 2024-06-01 25:00:00\n",
         "m.toml:2: Error while parsing time: expected hour between 0 and 23 (inclusive), saw 25"},
        {head + "date = 1500-01-01\n",
         "m.toml:2: date: 1500-01-01 00:00:00 is outside the dates Windows gives files (1601 to 30827)"},
        {head + one + "date = \"1600-12-31 23:59:59\"\n",
         "m.toml:2: file #1 (a.txt): date: 1600-12-31 23:59:59 is outside the dates Windows gives files "
         "(1601 to 30827)"},
        {head + one + "name = \"CON\"\n",
         "m.toml:2: file #1 (a.txt): name \"CON\": \"CON\" is the name of a device in Windows, not of a file"},
        {head + one + "name = 'docs\\nul.txt'\n",
         "m.toml:2: file #1 (a.txt): name \"docs\\nul.txt\": \"nul.txt\" is the name of a device in Windows, "
         "not of a file"},
        {head + one + "name = 'Com1\\a.txt'\n",
         "m.toml:2: file #1 (a.txt): name \"Com1\\a.txt\": \"Com1\" is the name of a device in Windows, not of a "
         "file"},
        {head + one + "name = \"trail. \"\n",
         "m.toml:2: file #1 (a.txt): name \"trail. \": \"trail. \" ends in a dot or a blank, which Windows drops "
         "from names"},
        {head + one + "name = 'dir.\\a.txt'\n",
         "m.toml:2: file #1 (a.txt): name \"dir.\\a.txt\": \"dir.\" ends in a dot or a blank, which Windows drops "
         "from names"},
        {head + one + "name = \"LICENCE.TXT\"\n[[file]]\nsource = \"licence.txt\"\n",
         "m.toml:5: file #2 (licence.txt): name \"licence.txt\" is the same file as \"LICENCE.TXT\" of m.toml:2: "
         "file #1 (a.txt) for Windows, which ignores case"},
        {head + one + "name = '\xC3\x89T\xC3\x89\\a.txt'\n" + one + "name = '\xC3\xA9t\xC3\xA9\\a.txt'\n",
         "m.toml:5: file #2 (a.txt): name \"\xC3\xA9t\xC3\xA9\\a.txt\" is the same file as \"\xC3\x89T\xC3\x89\\a.txt\" of m.toml:2: "
         "file #1 (a.txt) for Windows, which ignores case"},
        {head + one + "name = 'docs\\a.txt'\n" + one + "name = 'DOCS'\n",
         "m.toml:5: file #2 (a.txt): name \"DOCS\" names a folder of \"docs\\a.txt\" of m.toml:2: file #1 (a.txt) "
         "for Windows, which ignores case"},
        {head + one + "name = 'docs'\n" + one + "name = 'Docs\\a.txt'\n",
         "m.toml:5: file #2 (a.txt): name \"Docs\\a.txt\" needs a folder named like the file \"docs\" of m.toml:2: "
         "file #1 (a.txt) for Windows, which ignores case"},
        {head + "licence_file = \"arrow.txt\"\n",
         "m.toml:2: licence_file: arrow.txt: line 2, column 8: the character \"\xE2\x86\x92\" (U+2192) has no "
         "place in the Windows-1252 code page of the installer"},
        {head + "readme_file = \"latin1.txt\"\n",
         "m.toml:2: readme_file: latin1.txt: line 2, column 4: not valid UTF-8 (byte 0xE9); save the text as "
         "UTF-8 (a Latin-1 or Windows-1252 file is not)"},
        {head + "welcome = \"one\\ntwo \xE2\x98\x83\"\n",
         "m.toml:2: welcome: line 2, column 5: the character \"\xE2\x98\x83\" (U+2603) has no place in the "
         "Windows-1252 code page of the installer"},
        {head + "# Caf\xE9\n",
         "m.toml: line 2, column 6: not valid UTF-8 (byte 0xE9); save the text as UTF-8 (a Latin-1 or "
         "Windows-1252 file is not)"},
        {head + "compress = \"yes\"\n", "m.toml:2: compress: must be true or false"},
        {head + "flags = [\"compressed_payload\"]\ncompress = false\n",
         "m.toml:3: compress: false, but flags asks for compressed_payload"},
    };
    for (const Case& c : cases) {
        std::string message = error_of(c.text);
        if (message.compare(0, root.size() + 1, root + "/") == 0) message = message.substr(root.size() + 1);
        size_t inner;
        while ((inner = message.find(root + "/")) != std::string::npos) message.erase(inner, root.size() + 1);
        EXPECT_EQ(message, c.message) << c.text;
    }
    try {
        load_manifest(path("missing.toml"));
        ADD_FAILURE() << "loaded a missing manifest";
    } catch (const ManifestError& error) {
        EXPECT_EQ(std::string(error.what()), path("missing.toml") + ": cannot read the manifest: No such file or directory");
    }
}

TEST_F(Manifests, DatesMayBeTextsAndTextFilesMayStartWithAByteOrderMark) {
    write("a.txt", "a");
    write("licence.txt", "\xEF\xBB\xBFTerms \xE2\x82\xAC\n");
    Manifest manifest = load("product_name = \"Demo\"\nlicence_file = \"licence.txt\"\ndate = \"2024-06-01 12:00:00\"\n"
                             "[[file]]\nsource = \"a.txt\"\n"
                             "[[file]]\nsource = \"a.txt\"\nname = \"b.txt\"\ndate = \"2000-02-29\"\n"
                             "[[file]]\nsource = \"a.txt\"\nname = \"c.txt\"\ndate = \"1999-12-31T23:59:58\"\n");
    EXPECT_EQ(text(manifest.header.licence_text), "Terms \x80\r\n");
    ASSERT_EQ(manifest.files.size(), 3u);
    EXPECT_EQ(date_text(manifest.files[0].date), "2024-06-01 12:00:00");
    EXPECT_EQ(date_text(manifest.files[1].date), "2000-02-29 00:00:00");
    EXPECT_EQ(date_text(manifest.files[2].date), "1999-12-31 23:59:58");
    EXPECT_TRUE(manifest.header.flags & header_flag::compressed_payload);
    EXPECT_TRUE(manifest.warnings.empty());
}

TEST_F(Manifests, WarnsOfWhatIsLegalButLikelyWrong) {
    write("a.txt", "a");
    EXPECT_EQ(load("product_name = \"Demo\"\n").warnings,
              std::vector<std::string>{path("m.toml") + ": the manifest names no files; the installer would install "
                                                        "nothing"});
    Manifest manifest = load("product_name = \"Demo\"\ncompress = false\n[[file]]\nsource = \"a.txt\"\n"
                             "date = 1979-12-31 23:59:59\n[[file]]\nsource = \"a.txt\"\n");
    EXPECT_FALSE(manifest.header.flags & header_flag::compressed_payload);
    EXPECT_EQ(manifest.warnings,
              (std::vector<std::string>{
                  path("m.toml") + ":6: file #2 (a.txt): a.txt is packed again and replaces " + path("m.toml") +
                      ":3: file #1 (a.txt)",
                  path("m.toml") + ":3: file #1 (a.txt): a.txt is dated 1979-12-31 23:59:59, before 1980"}));
}

TEST_F(Manifests, TwoStarsMatchAnyDepthOfFolders) {
    for (const char* name : {"top.txt", "docs/a.txt", "docs/b.md", "docs/x/b.txt", "docs/x/y/c.txt", "docs/.hidden/d.txt",
                             "other/e.txt"})
        write(name, name);
    struct Case {
        std::string source;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"docs/**/*.txt", {"a.txt", "x\\b.txt", "x\\y\\c.txt"}},
        {"**/b.*", {"docs\\b.md", "docs\\x\\b.txt"}},
        {"docs/*/*.txt", {"x\\b.txt"}},
        {"docs/**", {"a.txt", "b.md", ".hidden\\d.txt", "x\\b.txt", "x\\y\\c.txt"}},
        {"d*/x/**/c.txt", {"docs\\x\\y\\c.txt"}},
        {"docs/[ab].*", {"a.txt", "b.md"}},
        {"docs/[!a-b]*", {"x\\b.txt", "x\\y\\c.txt"}},
        {"docs/?.md", {"b.md"}},
        {"docs/*", {"a.txt", "b.md", "x\\b.txt", "x\\y\\c.txt"}},
        {"docs/.*/*", {".hidden\\d.txt"}},
    };
    for (const Case& c : cases) {
        Manifest manifest = load("product_name = \"Demo\"\n[[file]]\nsource = \"" + c.source + "\"\n");
        std::vector<std::string> names;
        for (const ManifestFile& file : manifest.files) names.push_back(file.name);
        std::sort(names.begin(), names.end());
        std::vector<std::string> expected = c.names;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << c.source;
    }
}

// What `sea init` writes loads as it stands, and with its example keys
// uncommented it still loads: every key it explains is one the loader knows.
TEST_F(Manifests, TheStartingManifestLoadsAndExplainsEveryOption) {
    std::string starting = starting_manifest("Tiny Editor");
    Manifest manifest = load(starting);
    EXPECT_EQ(manifest.header.product_name.text(), std::string("Tiny Editor"));
    EXPECT_EQ(text(manifest.header.default_directory), "C:\\Program Files\\Tiny Editor");
    for (i32 i = 0; i < header_flag_name_count; ++i)
        EXPECT_NE(starting.find(std::string("#   ") + header_flag_names[i].name), std::string::npos)
            << header_flag_names[i].name;

    write("licence.txt", "Terms");
    write("readme.txt", "Read me");
    write("bin/Tiny Editor.exe", "MZ");
    std::string uncommented;
    std::istringstream lines(starting);
    for (std::string line; std::getline(lines, line);) {
        bool example = std::regex_search(line, std::regex("^# ([a-z_]+ = |\\[\\[file\\]\\]$)"));
        uncommented += (example ? line.substr(2) : line) + "\n";
    }
    Manifest full;
    try {
        full = load(uncommented);
    } catch (const ManifestError& error) {
        FAIL() << error.what() << "\n" << uncommented;
    }
    EXPECT_FALSE(full.header.flags & header_flag::compressed_payload);
    EXPECT_EQ(text(full.header.licence_text), "Terms");
    EXPECT_EQ(text(full.header.product_registry), "My Company\\Tiny Editor");
    ASSERT_EQ(full.files.size(), 1u);
    EXPECT_EQ(full.files[0].name, "Tiny Editor.exe");
    EXPECT_EQ(full.files[0].shortcut_flags, shortcut_desktop | shortcut_start_menu);
}

TEST_F(Manifests, FilesBeyondTheFormatsSizesAreRefusedBeforeReading) {
    write("small.txt", "small");
    // A sparse file just over the largest size a record can give.
    write("huge.bin", "");
    ASSERT_EQ(truncate(path("huge.bin").c_str(), 0x80000000LL), 0);
    std::string message = error_of("product_name = \"Demo\"\n[[file]]\nsource = \"small.txt\"\n"
                                   "[[file]]\nsource = \"huge.bin\"\n");
    EXPECT_NE(message.find("file #2 (huge.bin)"), std::string::npos) << message;
    EXPECT_NE(message.find("larger than a file of an installer can be"), std::string::npos) << message;

    ManifestOptions tight;
    tight.payload_limit = 160;
    write("b.txt", std::string(30, 'b'));
    message = error_of("product_name = \"Demo\"\n[[file]]\nsource = \"small.txt\"\n[[file]]\nsource = \"b.txt\"\n"
                       "[[file]]\nsource = \"small.txt\"\nname = \"again.txt\"\n",
                       tight);
    EXPECT_NE(message.find("file #3 (small.txt)"), std::string::npos) << message;
    EXPECT_NE(message.find("makes the payload larger"), std::string::npos) << message;
}

TEST(ArchiveNames, RefuseWhatWouldLeaveTheBaseDirectory) {
    struct Case {
        const char* name;
        bool accepted;
    };
    const Case cases[] = {
        {"a.txt", true},       {"sub\\a.txt", true},  {"a..b.txt", true},   {"", false},
        {"docs\\notes.txt", true}, {"bin\\startup.txt", true}, {"lib\\common.txt", true},
        {"...", false},        {"CON", false},       {"con.txt", false},   {"a\\aux", false},
        {"COM9.log", false},   {"LPT1", false},      {"COM0", true},       {"console", true},
        {"a.", false},         {"a \\b", false},    {" a", true},         {"..x\\a", true},     {"a\\..", false},    {"a\\..\\", false},
        {"..", false},         {"a\\..\\b", false},   {"\\a", false},       {"C:\\a", false},
        {"C:a", false},        {"a\\\\b", false},     {"a\\", false},       {".\\a", false},
        {"a:b", false},        {"a\tb", false},
    };
    for (const Case& c : cases) EXPECT_EQ(name_problem(c.name).empty(), c.accepted) << "\"" << c.name << "\"";
}

}  // namespace
