// Path texts, natively: joining, splitting, directory parts, extensions,
// absolute paths, drives and validity.
#include <gtest/gtest.h>

#include <ostream>

#include "platform/path.h"

namespace {

struct JoinCase {
    const char* dir;
    const char* name;
    const char* joined;
};

// Readable test names: each case is shown by its input.
void PrintTo(const JoinCase& c, std::ostream* os) { *os << (c.dir ? c.dir : "null") << " | " << (c.name ? c.name : "null") << " | " << (c.joined ? c.joined : "null"); }

class JoinPath : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinPath, PutsOneBackslashWhereOneIsNeeded) {
    const JoinCase& c = GetParam();
    EXPECT_STREQ(join_path(c.dir, c.name).text(), c.joined);
}

INSTANTIATE_TEST_SUITE_P(Cases, JoinPath, testing::Values(
    JoinCase{"C:\\a", "b", "C:\\a\\b"},
    JoinCase{"C:\\", "b", "C:\\b"},
    JoinCase{"", "b", "b"},
    JoinCase{nullptr, "b", "b"},
    JoinCase{"C:\\a", "", "C:\\a"},
    JoinCase{"C:\\a", nullptr, "C:\\a"},
    JoinCase{"C:", "x", "C:x"},
    JoinCase{"C:\\a\\", "\\b", "C:\\a\\b"},
    JoinCase{"C:\\a", "\\b", "C:\\a\\b"},
    JoinCase{"C:\\a\\\\", "\\b", "C:\\a\\\\b"},
    JoinCase{"", "\\b", "\\b"},
    JoinCase{"Software\\Vendor", "Product\\Key", "Software\\Vendor\\Product\\Key"}));

struct DirectoryCase {
    const char* path;
    const char* directory;  // also what remove_file_name leaves
    bool removed;           // whether remove_file_name changed the path
};

void PrintTo(const DirectoryCase& c, std::ostream* os) { *os << (c.path ? c.path : "null") << " | " << (c.directory ? c.directory : "null") << " | " << (c.removed ? "true" : "false"); }

class DirectoryPart : public testing::TestWithParam<DirectoryCase> {};

TEST_P(DirectoryPart, EndsAtTheLastBackslashKeepingADriveRoot) {
    const DirectoryCase& c = GetParam();
    EXPECT_STREQ(directory_of(c.path).text(), c.directory);

    String path(c.path);
    EXPECT_EQ(remove_file_name(path), c.removed);
    EXPECT_STREQ(path.text(), c.removed ? c.directory : c.path);
}

INSTANTIATE_TEST_SUITE_P(Cases, DirectoryPart, testing::Values(
    DirectoryCase{"C:\\a\\b.txt", "C:\\a", true},
    DirectoryCase{"C:\\b.txt", "C:\\", true},
    DirectoryCase{"C:b.txt", "C:", true},
    DirectoryCase{"b.txt", "", false},
    DirectoryCase{"", "", false},
    DirectoryCase{"\\b.txt", "", true},
    DirectoryCase{"C:\\a\\new\\", "C:\\a\\new", true},
    DirectoryCase{"Software\\Vendor\\Product", "Software\\Vendor", true},
    // Already its own directory part: a walk up the tree stops here.
    DirectoryCase{"C:\\", "C:\\", false},
    DirectoryCase{"C:", "C:", false}));

TEST(DirectoryPart, OfANullPathIsEmpty) { EXPECT_TRUE(directory_of(nullptr).is_empty()); }

TEST(DirectoryPart, WalksUpToTheDriveRootAndStops) {
    String path("C:\\a\\b\\c");
    const char* expected[] = {"C:\\a\\b", "C:\\a", "C:\\"};
    for (const char* step : expected) {
        ASSERT_TRUE(remove_file_name(path));
        EXPECT_STREQ(path.text(), step);
    }
    EXPECT_FALSE(remove_file_name(path));
}

struct SplitCase {
    const char* path;
    bool split;
    const char* dir;
    const char* name;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << (c.path ? c.path : "null") << " | " << (c.split ? "true" : "false") << " | " << (c.dir ? c.dir : "null") << " | " << (c.name ? c.name : "null"); }

class SplitPath : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitPath, SeparatesTheLastNameFromItsDirectory) {
    const SplitCase& c = GetParam();
    String dir("old"), name("old");
    EXPECT_EQ(split_path(c.path, dir, name), c.split);
    EXPECT_STREQ(dir.text(), c.dir);
    EXPECT_STREQ(name.text(), c.name);
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitPath, testing::Values(
    SplitCase{"Software\\Vendor\\Product", true, "Software\\Vendor", "Product"},
    SplitCase{"C:\\a.txt", true, "C:", "a.txt"},
    SplitCase{"Software\\", true, "Software", ""},
    SplitCase{"Product", true, "", "Product"},
    SplitCase{"", false, "", ""},
    SplitCase{"C:a.txt", true, "C:", "a.txt"},
    SplitCase{"\\top", true, "", "top"}));

TEST(SplitPath, MayWriteIntoTheStringItSplits) {
    String path("Software\\Vendor\\Product"), name;
    ASSERT_TRUE(split_path(path.text(), path, name));
    EXPECT_STREQ(path.text(), "Software\\Vendor");
    EXPECT_STREQ(name.text(), "Product");
}

struct ExtensionCase {
    const char* path;
    const char* ext;
    bool appended;
    const char* result;
};

void PrintTo(const ExtensionCase& c, std::ostream* os) { *os << (c.path ? c.path : "null") << " | " << (c.ext ? c.ext : "null") << " | " << (c.appended ? "true" : "false") << " | " << (c.result ? c.result : "null"); }

class DefaultExtension : public testing::TestWithParam<ExtensionCase> {};

TEST_P(DefaultExtension, IsAppendedOnlyWhenTheFileNameHasNoDot) {
    const ExtensionCase& c = GetParam();
    String path(c.path);
    EXPECT_EQ(set_default_extension(path, c.ext), c.appended);
    EXPECT_STREQ(path.text(), c.result);
}

INSTANTIATE_TEST_SUITE_P(Cases, DefaultExtension, testing::Values(
    ExtensionCase{"C:\\dir.x\\setup", "EXE", true, "C:\\dir.x\\setup.EXE"},
    ExtensionCase{"setup.bin", "EXE", false, "setup.bin"},
    ExtensionCase{"C:\\Program Files\\My Setup\\setup", "EXE", true, "C:\\Program Files\\My Setup\\setup.EXE"},
    ExtensionCase{"setup", ".exe", true, "setup.exe"},
    ExtensionCase{"C:\\a.b\\c.d\\", "EXE", true, "C:\\a.b\\c.d\\.EXE"},
    ExtensionCase{"", "EXE", true, ".EXE"}));

struct PrefixCase {
    const char* name;
    const char* dir;
    bool prefixed;
    const char* result;
};

void PrintTo(const PrefixCase& c, std::ostream* os) { *os << (c.name ? c.name : "null") << " | " << (c.dir ? c.dir : "null") << " | " << (c.prefixed ? "true" : "false") << " | " << (c.result ? c.result : "null"); }

class PrefixDirectory : public testing::TestWithParam<PrefixCase> {};

TEST_P(PrefixDirectory, GivesOnlyABareNameADirectory) {
    const PrefixCase& c = GetParam();
    String name(c.name);
    EXPECT_EQ(prefix_directory(name, c.dir), c.prefixed);
    EXPECT_STREQ(name.text(), c.result);
}

INSTANTIATE_TEST_SUITE_P(Cases, PrefixDirectory, testing::Values(
    PrefixCase{"shared.dll", "C:\\Common\\Vendor", true, "C:\\Common\\Vendor\\shared.dll"},
    PrefixCase{"shared.dll", "C:\\", true, "C:\\shared.dll"},
    PrefixCase{"C:\\Windows\\shared.dll", "C:\\Common", false, "C:\\Windows\\shared.dll"},
    PrefixCase{"sub\\shared.dll", "C:\\Common", false, "sub\\shared.dll"},
    PrefixCase{"D:shared.dll", "C:\\Common", false, "D:shared.dll"},
    PrefixCase{"shared.dll", "", false, "shared.dll"},
    PrefixCase{"shared.dll", nullptr, false, "shared.dll"}));

struct AbsoluteCase {
    const char* path;
    const char* base;
    bool changed;
    const char* result;
};

void PrintTo(const AbsoluteCase& c, std::ostream* os) { *os << (c.path ? c.path : "null") << " | " << (c.base ? c.base : "null") << " | " << (c.changed ? "true" : "false") << " | " << (c.result ? c.result : "null"); }

class MakeAbsolute : public testing::TestWithParam<AbsoluteCase> {};

TEST_P(MakeAbsolute, PlacesARelativePathBelowTheBase) {
    const AbsoluteCase& c = GetParam();
    String path(c.path);
    EXPECT_EQ(make_absolute(path, c.base), c.changed);
    EXPECT_STREQ(path.text(), c.result);
}

INSTANTIATE_TEST_SUITE_P(Cases, MakeAbsolute, testing::Values(
    AbsoluteCase{"\\Apps", "C:\\Program Files", true, "C:\\Apps"},
    AbsoluteCase{"Apps", "C:\\Program Files", true, "C:\\Program Files\\Apps"},
    AbsoluteCase{"Apps", "C:\\Program Files\\", true, "C:\\Program Files\\Apps"},
    AbsoluteCase{"Apps", "C:\\", true, "C:\\Apps"},
    AbsoluteCase{"D:Apps", "C:\\Program Files", true, "D:\\Program Files\\Apps"},
    AbsoluteCase{"D:Apps", "C:\\", true, "D:\\Apps"},
    AbsoluteCase{"D:\\Apps", "C:\\Program Files", false, "D:\\Apps"},
    AbsoluteCase{"Apps", "Program Files", false, "Apps"},
    AbsoluteCase{"Apps", "C:Program Files", false, "Apps"},
    AbsoluteCase{"Apps", "", false, "Apps"},
    AbsoluteCase{"Apps", nullptr, false, "Apps"}));

struct DriveCase {
    const char* path;
    bool has_root;
    char letter;
    const char* root;
};

void PrintTo(const DriveCase& c, std::ostream* os) { *os << (c.path ? c.path : "null") << " | " << (c.has_root ? "true" : "false") << " | " << (c.letter ? c.letter : '0') << " | " << (c.root ? c.root : "null"); }

class Drive : public testing::TestWithParam<DriveCase> {};

TEST_P(Drive, IsReadFromTheFirstCharacters) {
    const DriveCase& c = GetParam();
    EXPECT_EQ(has_drive_root(c.path), c.has_root);
    EXPECT_EQ(drive_letter_of(c.path), c.letter);
    EXPECT_STREQ(drive_root_of(c.path).text(), c.root);
}

INSTANTIATE_TEST_SUITE_P(Cases, Drive, testing::Values(
    DriveCase{"c:\\work", true, 'C', "c:\\"},
    DriveCase{"D:\\", true, 'D', "D:\\"},
    DriveCase{"D:", false, 'D', "D:\\"},
    DriveCase{"d:apps", false, 'D', "d:\\"},
    // Any first character counts for a drive root; only a letter is a drive.
    DriveCase{"1:\\x", true, 0, ""},
    DriveCase{"\\\\server\\share", false, 0, ""},
    DriveCase{"work", false, 0, ""},
    DriveCase{"C", false, 0, ""},
    DriveCase{"", false, 0, ""},
    DriveCase{nullptr, false, 0, ""}));

struct ValidityCase {
    const char* path;
    bool valid;
};

void PrintTo(const ValidityCase& c, std::ostream* os) { *os << (c.path ? c.path : "null") << " | " << (c.valid ? "true" : "false"); }

class ValidPath : public testing::TestWithParam<ValidityCase> {};

TEST_P(ValidPath, RejectsCharactersNoFileNameMayHold) {
    const ValidityCase& c = GetParam();
    EXPECT_EQ(is_valid_path(c.path), c.valid) << c.path;
}

INSTANTIATE_TEST_SUITE_P(Cases, ValidPath, testing::Values(
    ValidityCase{"C:\\Program Files\\App", true},
    ValidityCase{"\"C:\\Program Files\\App\"", true},
    ValidityCase{"Apps", true},
    ValidityCase{"", false},
    ValidityCase{"C:\\App:Data", false},
    ValidityCase{"C:\\App;Data", false},
    ValidityCase{"C:\\App?", false},
    ValidityCase{"C:\\App*", false},
    ValidityCase{"C:/App", false},
    ValidityCase{"C:\\<App>", false},
    ValidityCase{"C:\\App|x", false},
    ValidityCase{"::\\App", false},
    ValidityCase{"\"C:\\App", false},
    ValidityCase{"C:\\\"App\"", false}));

}  // namespace
