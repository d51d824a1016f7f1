// Directories, drives, files and processes against the real platform under
// Wine: creation with missing parents, removal of whole trees (and never of a
// drive), the current directory past its first buffer, and programs started
// without waiting.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/file.h"
#include "platform/filesystem.h"

namespace {

const char startup_report_variable[] = "SEA_TEST_STARTUP_REPORT";

// A copy of this program started by run_program with the variable set writes
// how it was asked to show its window and ends before any test runs.
struct StartupReporter {
    StartupReporter() {
        char report_path[MAX_PATH];
        if (!GetEnvironmentVariableA(startup_report_variable, report_path, sizeof report_path)) return;
        STARTUPINFOA startup;
        GetStartupInfoA(&startup);
        char text[64];
        snprintf(text, sizeof text, "flags %lu show %u", startup.dwFlags & STARTF_USESHOWWINDOW,
                 startup.wShowWindow);
        FILE* report = fopen(report_path, "wb");
        if (report) {
            fputs(text, report);
            fclose(report);
        }
        ExitProcess(0);
    }
} startup_reporter;

class FileSystemTest : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        dir = formatted("C:\\tests\\fs\\%s.%s", info->test_suite_name(), info->name());
        // Parameterised names hold slashes, which Windows reads as separators.
        dir.replace_all("/", "-");
        ASSERT_TRUE(create_directory(dir.text()));
    }
    void TearDown() override { SetCurrentDirectoryA("C:\\tests"); }

    String path(const char* name) const { return formatted("%s\\%s", dir.text(), name); }

    String make_file(const char* name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const {
        String file_path = path(name);
        EXPECT_TRUE(write_text_file(file_path.text(), name));
        if (attributes != FILE_ATTRIBUTE_NORMAL) {
            EXPECT_TRUE(SetFileAttributesA(file_path.text(), attributes));
        }
        return file_path;
    }

    String dir;
};

bool is_directory(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

TEST_F(FileSystemTest, DirectoryExistsOnlyForDirectoriesAndKeepsTheCurrentOne) {
    String file = make_file("plain.txt");
    ASSERT_TRUE(SetCurrentDirectoryA(dir.text()));
    EXPECT_TRUE(directory_exists(dir.text()));
    EXPECT_TRUE(directory_exists("C:\\"));
    EXPECT_FALSE(directory_exists(path("missing").text()));
    EXPECT_FALSE(directory_exists(file.text()));
    EXPECT_FALSE(directory_exists(""));
    EXPECT_FALSE(directory_exists(nullptr));
    EXPECT_TRUE(directory_exists("C:\\tests"));
    EXPECT_STREQ(current_directory().text(), dir.text());
}

TEST_F(FileSystemTest, CreateDirectoryMakesEveryMissingParent) {
    String deep = path("a\\b\\c\\d");
    EXPECT_TRUE(create_directory(deep.text()));
    EXPECT_TRUE(is_directory(path("a\\b").text()));
    EXPECT_TRUE(is_directory(deep.text()));
    // Once there, asking again is simply true.
    EXPECT_TRUE(create_directory(deep.text()));
}

TEST_F(FileSystemTest, ANewDirectoryWrittenWithATrailingBackslashIsCreatedAndReportedSo) {
    String written = path("fresh\\inner\\");
    EXPECT_TRUE(create_directory(written.text()));
    EXPECT_TRUE(is_directory(path("fresh\\inner").text()));
}

TEST_F(FileSystemTest, CreateDirectoryFailsWhereNoDirectoryCanBe) {
    String file = make_file("blocker.txt");
    EXPECT_FALSE(create_directory(file.text()));
    EXPECT_FALSE(create_directory(path("blocker.txt\\below").text()));
    EXPECT_FALSE(create_directory(""));
    EXPECT_FALSE(create_directory(nullptr));
    // A missing drive's root is its own parent: refused, not asked for forever.
    ASSERT_FALSE(drive_exists('Q'));
    EXPECT_FALSE(create_directory("Q:\\new\\dir"));
    EXPECT_FALSE(create_directory("Q:"));
}

TEST_F(FileSystemTest, CreateDirectoryOrFailEndsTheRunWithThePath) {
    String below_file = make_file("blocker.txt") + "\\below";
    create_directory_or_fail(path("made").text());
    EXPECT_TRUE(is_directory(path("made").text()));
    EXPECT_DEATH(create_directory_or_fail("Q:\\x"), "^Unable to create directory:\\s+Q:\\\\x");
    EXPECT_DEATH(create_directory_or_fail(below_file.text()), "blocker.txt\\\\below");
}

TEST_F(FileSystemTest, RemoveDirectoryTakesOnlyEmptyDirectoriesAndNoRoot) {
    ASSERT_TRUE(create_directory(path("empty").text()));
    ASSERT_TRUE(create_directory(path("full").text()));
    make_file("full\\x.txt");
    EXPECT_TRUE(remove_directory(path("empty\\")));
    EXPECT_FALSE(exists(path("empty").text()));
    EXPECT_FALSE(remove_directory(path("full")));
    EXPECT_TRUE(is_directory(path("full").text()));
    EXPECT_FALSE(remove_directory("C:\\"));
    EXPECT_FALSE(remove_directory(""));
}

TEST_F(FileSystemTest, DeleteDirectoryTreeRemovesEverythingBelowAndItself) {
    String tree = path("tree");
    ASSERT_TRUE(create_directory(path("tree\\sub\\deeper").text()));
    ASSERT_TRUE(create_directory(path("tree\\empty").text()));
    make_file("tree\\plain.txt");
    make_file("tree\\locked.txt", FILE_ATTRIBUTE_READONLY);
    make_file("tree\\sub\\hidden.dll", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    make_file("tree\\sub\\deeper\\noext", FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(delete_directory_tree(tree.text()));
    EXPECT_FALSE(exists(tree.text()));
    EXPECT_TRUE(is_directory(dir.text()));
}

TEST_F(FileSystemTest, DeleteDirectoryTreeGoesOnPastWhatItCannotDelete) {
    ASSERT_TRUE(create_directory(path("tree\\busy").text()));
    ASSERT_TRUE(create_directory(path("tree\\idle").text()));
    String held = make_file("tree\\busy\\held.txt");
    make_file("tree\\busy\\free.txt");
    make_file("tree\\idle\\free.txt");
    File holder;
    ASSERT_TRUE(holder.open_for_reading(held.text(), true));
    EXPECT_FALSE(delete_directory_tree(path("tree").text()));
    EXPECT_TRUE(exists(held.text()));
    EXPECT_FALSE(exists(path("tree\\busy\\free.txt").text()));
    EXPECT_FALSE(exists(path("tree\\idle").text()));
    holder.close();
    EXPECT_TRUE(delete_directory_tree(path("tree").text()));
    EXPECT_FALSE(exists(path("tree").text()));
}

TEST_F(FileSystemTest, DeleteDirectoryTreeNeverEmptiesADrive) {
    ASSERT_TRUE(write_text_file("C:\\root-marker.txt", "stay"));
    String marker = make_file("marker.txt");
    // Longer than a root in writing, a root all the same once resolved.
    const char* roots[] = {"C:\\", "C:", "C:\\.", "C:\\\\", "C:\\tests\\..", "C:\\tests\\fs\\..\\..\\"};
    for (const char* root : roots) EXPECT_FALSE(delete_directory_tree(root)) << root;
    EXPECT_TRUE(exists("C:\\root-marker.txt"));
    EXPECT_TRUE(exists(marker.text()));
    EXPECT_TRUE(is_directory("C:\\windows"));
}

TEST_F(FileSystemTest, DeleteDirectoryTreeOfNothingIsFalse) {
    EXPECT_FALSE(delete_directory_tree(path("missing").text()));
    EXPECT_FALSE(delete_directory_tree(nullptr));
}

TEST_F(FileSystemTest, DeleteFileTakesReadOnlyFilesToo) {
    String locked = make_file("locked.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(delete_file(locked.text()));
    EXPECT_FALSE(exists(locked.text()));
    EXPECT_FALSE(delete_file(locked.text()));
    EXPECT_FALSE(delete_file(nullptr));
}

// The installer writes a shared file or a font beside its target and moves it
// over the target only once it is whole.
TEST_F(FileSystemTest, ReplaceFilePutsTheNewFileInTheOldOnesPlace) {
    String old_file = make_file("old.txt");
    String new_file = make_file("new.txt");
    EXPECT_TRUE(replace_file(new_file.text(), old_file.text()));
    EXPECT_FALSE(exists(new_file.text()));
    File replaced;
    ASSERT_TRUE(replaced.open_for_reading(old_file.text(), false));
    char text[8] = {};
    EXPECT_TRUE(replaced.read(text, 7));
    EXPECT_STREQ("new.txt", text);
}

TEST_F(FileSystemTest, ReplaceFileLeavesAHeldTargetAsItWas) {
    String target = make_file("held.txt");
    String source = make_file("whole.txt");
    HANDLE held = CreateFileA(target.text(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_FALSE(replace_file(source.text(), target.text()));
    CloseHandle(held);
    EXPECT_TRUE(exists(source.text()));
    EXPECT_TRUE(replace_file(source.text(), target.text()));
}

TEST_F(FileSystemTest, FileExistsForFilesThatCanBeOpened) {
    String file = make_file("here.txt");
    EXPECT_TRUE(file_exists(file.text()));
    EXPECT_FALSE(file_exists(path("gone.txt").text()));
    EXPECT_FALSE(file_exists(nullptr));
}

TEST(Drives, OnlyMappedDrivesExist) {
    EXPECT_TRUE(drive_exists('C'));
    EXPECT_TRUE(drive_exists('c'));
    // The sandbox maps no drive to the host's root, and nothing to Q:.
    EXPECT_FALSE(drive_exists('Z'));
    EXPECT_FALSE(drive_exists('Q'));
}

class CurrentDirectory : public FileSystemTest, public testing::WithParamInterface<i32> {};

TEST_P(CurrentDirectory, IsReadWholeWhateverItsLength) {
    i32 length = GetParam();
    String long_dir = dir + "\\";
    long_dir.insert_chars(long_dir.length(), 'd', length - long_dir.length());
    ASSERT_EQ(long_dir.length(), length);
    ASSERT_TRUE(create_directory(long_dir.text()));
    ASSERT_TRUE(SetCurrentDirectoryA(long_dir.text()));
    String current = current_directory();
    EXPECT_STREQ(current.text(), long_dir.text());
    EXPECT_EQ(current.length(), length);
    EXPECT_TRUE(directory_exists("C:\\windows"));
    EXPECT_STREQ(current_directory().text(), long_dir.text());
}

// Around the first buffer of 99 characters, and well past it.
INSTANTIATE_TEST_SUITE_P(Lengths, CurrentDirectory, testing::Values(97, 98, 99, 100, 101, 180, 240));

TEST(ProgramPath, NamesThisProgramInItsDirectory) {
    String self = program_path();
    EXPECT_STREQ(program_directory().text(), "C:\\tests");
    EXPECT_TRUE(self.ends_with_no_case(".exe"));
    EXPECT_EQ(strncmp(self.text(), "C:\\tests\\", 9), 0);
    EXPECT_TRUE(file_exists(self.text()));
}

class RunProgram : public FileSystemTest {
protected:
    // Starts a copy of this program, which writes how it was asked to show
    // itself into a report, and waits for that report.
    String startup_of_child(u32 options) {
        String report = path("startup.txt");
        SetEnvironmentVariableA(startup_report_variable, report.text());
        String command = formatted("\"%s\" --gtest_list_tests", program_path().text());
        bool started = run_program(command.text(), options);
        SetEnvironmentVariableA(startup_report_variable, nullptr);
        EXPECT_TRUE(started);
        if (!started) return String();
        for (int waited = 0; waited < 300 && !file_exists(report.text()); ++waited) Sleep(100);
        Sleep(200);
        File file;
        ByteBuffer text;
        if (!file.open_for_reading(report.text(), false) || !file.read_range(text, 0, file.size()))
            return String("no report");
        String result;
        result.assign(reinterpret_cast<const char*>(text.data()), text.size());
        return result;
    }
};

TEST_F(RunProgram, StartsARealProgramWithoutWaitingForIt) {
    String marker = path("ran.txt");
    String command = formatted("cmd.exe /c echo ran> \"%s\"", marker.text());
    ASSERT_TRUE(run_program(command.text(), 0));
    for (int waited = 0; waited < 300 && !file_exists(marker.text()); ++waited) Sleep(100);
    EXPECT_TRUE(file_exists(marker.text()));
}

TEST_F(RunProgram, ShowsTheWindowMaximizedOnlyWhenAsked) {
    EXPECT_STREQ(startup_of_child(run_maximized).text(), "flags 1 show 3");
    ASSERT_TRUE(delete_file(path("startup.txt").text()));
    EXPECT_TRUE(startup_of_child(0).starts_with("flags 0 ")) << "not asked to use its show state";
}

TEST_F(RunProgram, FailsForAProgramThatIsNotThere) {
    EXPECT_FALSE(run_program("C:\\tests\\no-such-program.exe", 0));
    EXPECT_FALSE(run_program("", 0));
    EXPECT_FALSE(run_program(nullptr, run_maximized));
}

}  // namespace
