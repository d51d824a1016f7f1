// The batches against the real command interpreter under Wine: the script a
// batch text becomes, the arguments and directory a batch runs with, the wait
// that ends with the batch or with its finished window, and the self-removal
// script's bytes. The program links the batch sources without the driver's
// boxes, whose fatal report would clash with the tests' console one, so it
// holds the two pieces of driver state that the batches and the ui layer use.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "installer/installer.h"

bool automatic;
void terminate_run() { ExitProcess(1); }

namespace {

const char finished_window_variable[] = "SEA_TEST_FINISHED_WINDOW";

// A copy of this program started with the variable set shows a top-level
// window titled as a finished batch's console, writes "closed" to the file
// the variable names when that window is sent WM_CLOSE (or "timeout" after
// 30 s), and ends before any test runs.
struct FinishedWindow {
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_CLOSE || message == WM_TIMER) {
            char record[MAX_PATH];
            GetEnvironmentVariableA(finished_window_variable, record, sizeof record);
            FILE* out = fopen(record, "wb");
            if (out) {
                fputs(message == WM_CLOSE ? "closed" : "timeout", out);
                fclose(out);
            }
            ExitProcess(0);
        }
        return DefWindowProcA(window, message, wparam, lparam);
    }

    FinishedWindow() {
        char record[MAX_PATH];
        if (!GetEnvironmentVariableA(finished_window_variable, record, sizeof record)) return;
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "SeaFinishedBatch";
        RegisterClassA(&window_class);
        HWND window = CreateWindowA("SeaFinishedBatch", "Finished - ZORVEN", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                    nullptr, nullptr, window_class.hInstance, nullptr);
        SetTimer(window, 1, 30000, nullptr);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        ExitProcess(0);
    }
} finished_window;

bool exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

std::string read_file(const char* path) {
    std::string text;
    FILE* in = fopen(path, "rb");
    if (!in) return "(missing)";
    char block[4096];
    size_t got;
    while ((got = fread(block, 1, sizeof block, in)) > 0) text.append(block, got);
    fclose(in);
    return text;
}

class BatchTest : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        // A blank in the directory checks that every argument is quoted.
        dir = formatted("C:\\tests\\batch dir\\%s", info->name());
        ASSERT_TRUE(create_directory(dir.text()));
    }
    void TearDown() override { automatic = false; }

    String path(const char* name) const { return join_path(dir.text(), name); }

    String dir;
};

struct LineCase {
    const char* text;
    bool automatic;
    const char* script;
};

TEST(BatchScript, AutomaticModeDropsOnlyPauseCommands) {
    struct PauseCase {
        const char* line;
        bool kept;
    };
    const PauseCase cases[] = {
        {"pause", false},        {"@PAUSE", false},     {"  Pause  ", false},   {"\tpause\t", false},
        {"@ pause", false},      {"echo pause", true},  {"  echo pause  ", true}, {"pause now", true},
        {"@@pause", true},       {"rem", true},
    };
    for (const PauseCase& c : cases) {
        SCOPED_TRACE(c.line);
        String text = formatted("echo one\n%s\necho two", c.line);
        std::string expected = "@echo off\r\necho one\r\n";
        if (c.kept) expected += std::string(c.line) + "\r\n";
        expected += "echo two\r\n";
        EXPECT_EQ(std::string(batch_script(text, true).text()), expected);
        // Outside automatic mode the user is there to press a key.
        EXPECT_EQ(std::string(batch_script(text, false).text()),
                  std::string("@echo off\r\necho one\r\n") + c.line + "\r\necho two");
    }
}

TEST(BatchScript, LineEndsBecomeCrLf) {
    const LineCase cases[] = {
        {"a\nb", false, "@echo off\r\na\r\nb"},
        {"a\nb", true, "@echo off\r\na\r\nb\r\n"},
        {"a\r\nb\r\n", false, "@echo off\r\na\r\nb\r\n"},
        {"a\r\nb\r\n", true, "@echo off\r\na\r\nb\r\n"},
        // A lone CR is dropped, joining its two lines, unless automatic mode
        // reads the text line by line.
        {"a\rb", false, "@echo off\r\nab"},
        {"a\rb", true, "@echo off\r\na\r\nb\r\n"},
        {"a\n\rb", true, "@echo off\r\na\r\nb\r\n"},
        {"a\n\nb", true, "@echo off\r\na\r\n\r\nb\r\n"},
        {"a\r\rb", true, "@echo off\r\na\r\n\r\nb\r\n"},
        {"\n", false, "@echo off\r\n\r\n"},
        {"\n", true, "@echo off\r\n\r\n"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "automatic " << c.automatic << " text " << testing::PrintToString(c.text));
        EXPECT_EQ(std::string(batch_script(c.text, c.automatic).text()), c.script);
    }
}

TEST_F(BatchTest, TheBatchGetsDirectorySharedPathAndDriveAndRunsInTheDirectory) {
    ASSERT_TRUE(run_batch(dir.text(), "echo %1 %2 %3>args.txt", "C:\\Common Files\\Vendor"));
    EXPECT_EQ(read_file(path("args.txt").text()),
              std::string("\"") + dir.text() + "\" \"C:\\Common Files\\Vendor\" C:\r\n");
    EXPECT_FALSE(exists(path("ZORVEN.BAT").text()));
}

TEST_F(BatchTest, WithoutSharedPathTheSecondArgumentIsEmpty) {
    ASSERT_TRUE(run_batch(dir.text(), "echo %1 %2 %3>args.txt", nullptr));
    EXPECT_EQ(read_file(path("args.txt").text()), std::string("\"") + dir.text() + "\" \"\" C:\r\n");
}

// The batch copies itself, so what was written is what ran.
TEST_F(BatchTest, TheFileThatRunsHasTheScriptsLineEnds) {
    const LineCase cases[] = {
        {"copy /b %0 seen.bat >nul\nrem one\r\nrem two\rrem three\nrem four", false,
         "@echo off\r\ncopy /b %0 seen.bat >nul\r\nrem one\r\nrem tworem three\r\nrem four"},
        {"copy /b %0 seen.bat >nul\nrem one\r\nrem two\rrem three\n@Pause", true,
         "@echo off\r\ncopy /b %0 seen.bat >nul\r\nrem one\r\nrem two\r\nrem three\r\n"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "automatic " << c.automatic);
        automatic = c.automatic;
        DeleteFileA(path("seen.bat").text());
        ASSERT_TRUE(run_batch(dir.text(), c.text, ""));
        EXPECT_EQ(read_file(path("seen.bat").text()), c.script);
        EXPECT_FALSE(exists(path("ZORVEN.BAT").text()));
    }
}

TEST_F(BatchTest, AnEmptyTextWritesAndStartsNothing) {
    // A batch written and run would have replaced and then deleted this file.
    String sentinel = path("ZORVEN.BAT");
    ASSERT_TRUE(write_text_file(sentinel.text(), "echo placed>placed.txt\r\n"));
    EXPECT_TRUE(run_batch(dir.text(), "", "C:\\Shared"));
    EXPECT_EQ(read_file(sentinel.text()), "echo placed>placed.txt\r\n");
    EXPECT_FALSE(exists(path("placed.txt").text()));
}

TEST_F(BatchTest, ABatchThatCannotBeWrittenIsNotStarted) {
    String missing = path("missing");
    EXPECT_FALSE(run_batch(missing.text(), "echo ran>C:\\tests\\ran.txt", ""));
    EXPECT_FALSE(exists("C:\\tests\\ran.txt"));
}

// The batch runs elevated: the interpreter, a process of its own, stands for
// one that tries to add a command to the batch while it runs. The attempt
// fails, the interpreter reads on, and what ran is what was written.
TEST_F(BatchTest, ARunningBatchCannotBeChangedByAnotherProcess) {
    const char text[] = "echo echo changed^>changed.txt>>%0\necho ran>ran.txt\ncopy /b %0 seen.bat >nul\n";
    ASSERT_TRUE(run_batch(dir.text(), text, ""));
    EXPECT_EQ(read_file(path("ran.txt").text()), "ran\r\n");
    EXPECT_EQ(read_file(path("seen.bat").text()),
              "@echo off\r\necho echo changed^>changed.txt>>%0\r\necho ran>ran.txt\r\ncopy /b %0 seen.bat >nul\r\n");
    EXPECT_FALSE(exists(path("changed.txt").text()));
    EXPECT_FALSE(exists(path("ZORVEN.BAT").text()));
}

// A file of the batch's name that someone holds open could be changed
// through that handle after ours wrote it, or is one that cannot be
// replaced: the batch is refused. (Wine's start of a batch already fails
// while a handle that writes is open; a reading one shows the refusal.)
TEST_F(BatchTest, ABatchFileHeldOpenBySomeoneElseIsNotRun) {
    struct Holder {
        DWORD access;
        DWORD sharing;
    };
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const Holder holders[] = {
        {GENERIC_READ | GENERIC_WRITE, all},
        {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {GENERIC_READ, all},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE},
    };
    String batch = path("ZORVEN.BAT");
    for (const Holder& holder : holders) {
        SCOPED_TRACE(testing::Message() << "access " << std::hex << holder.access << " sharing " << holder.sharing);
        if (!exists(batch.text())) {
            ASSERT_TRUE(write_text_file(batch.text(), "echo planted>planted.txt\r\n"));
        }
        HANDLE other = CreateFileA(batch.text(), holder.access, holder.sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(run_batch(dir.text(), "echo ran>ran.txt", ""));
        CloseHandle(other);
        EXPECT_FALSE(exists(path("ran.txt").text()));
        EXPECT_FALSE(exists(path("planted.txt").text()));
    }
    // Once nobody holds it, a planted file is replaced by the batch.
    ASSERT_TRUE(write_text_file(batch.text(), "echo planted>planted.txt\r\n"));
    ASSERT_TRUE(run_batch(dir.text(), "echo ran>ran.txt", ""));
    EXPECT_EQ(read_file(path("ran.txt").text()), "ran\r\n");
    EXPECT_FALSE(exists(path("planted.txt").text()));
}

TEST_F(BatchTest, TheFinishedWindowEndsTheWaitAndIsClosed) {
    String record = path("closed.txt");
    char program[MAX_PATH];
    ASSERT_NE(GetModuleFileNameA(nullptr, program, sizeof program), 0u);
    // The interpreter waits for this console program, so only the window can
    // end the wait.
    String text = formatted("set %s=%s\n\"%s\"\n", finished_window_variable, record.text(), program);
    ASSERT_TRUE(run_batch(dir.text(), text, ""));
    for (int i = 0; i < 100 && read_file(record.text()) == "(missing)"; ++i) Sleep(50);
    EXPECT_EQ(read_file(record.text()), "closed");
}

TEST(SelfRemovalScript, DeletesTheUninstallerThenItsEmptiedDirectoriesThenItself) {
    struct RemovalCase {
        const char* self_path;
        const char* script;
    };
    const RemovalCase cases[] = {
        {"C:\\Program Files\\Tools\\Demo\\Uninstall.EXE",
         ":Repeat\r\n"
         "del \"C:\\Program Files\\Tools\\Demo\\Uninstall.EXE\"\r\n"
         "if exist \"C:\\Program Files\\Tools\\Demo\\Uninstall.EXE\" goto Repeat\r\n"
         "rd \"C:\\Program Files\\Tools\\Demo\"\r\n"
         "rd \"C:\\Program Files\\Tools\"\r\n"
         "del \"c:\\delunins.bat\""},
        {"C:\\Demo\\Uninstall.EXE",
         ":Repeat\r\n"
         "del \"C:\\Demo\\Uninstall.EXE\"\r\n"
         "if exist \"C:\\Demo\\Uninstall.EXE\" goto Repeat\r\n"
         "rd \"C:\\Demo\"\r\n"
         "del \"c:\\delunins.bat\""},
        // Nothing to remove beside the file in a drive root.
        {"C:\\Uninstall.EXE",
         ":Repeat\r\n"
         "del \"C:\\Uninstall.EXE\"\r\n"
         "if exist \"C:\\Uninstall.EXE\" goto Repeat\r\n"
         "del \"c:\\delunins.bat\""},
        // Any drive, any case of program files; the batch itself stays on C.
        {"D:\\PROGRAM FILES\\Demo\\Uninstall.EXE",
         ":Repeat\r\n"
         "del \"D:\\PROGRAM FILES\\Demo\\Uninstall.EXE\"\r\n"
         "if exist \"D:\\PROGRAM FILES\\Demo\\Uninstall.EXE\" goto Repeat\r\n"
         "rd \"D:\\PROGRAM FILES\\Demo\"\r\n"
         "del \"c:\\delunins.bat\""},
        {"C:\\Apps\\Program Files\\Demo\\Uninstall.EXE",
         ":Repeat\r\n"
         "del \"C:\\Apps\\Program Files\\Demo\\Uninstall.EXE\"\r\n"
         "if exist \"C:\\Apps\\Program Files\\Demo\\Uninstall.EXE\" goto Repeat\r\n"
         "rd \"C:\\Apps\\Program Files\\Demo\"\r\n"
         "del \"c:\\delunins.bat\""},
        // Unescaped, %Demo% would be read as a variable and the batch would
        // delete C:\Tools\Uninstall.EXE instead.
        {"C:\\Tools\\%Demo%\\Uninstall.EXE",
         ":Repeat\r\n"
         "del \"C:\\Tools\\%%Demo%%\\Uninstall.EXE\"\r\n"
         "if exist \"C:\\Tools\\%%Demo%%\\Uninstall.EXE\" goto Repeat\r\n"
         "rd \"C:\\Tools\\%%Demo%%\"\r\n"
         "rd \"C:\\Tools\"\r\n"
         "del \"c:\\delunins.bat\""},
    };
    for (const RemovalCase& c : cases) {
        SCOPED_TRACE(c.self_path);
        EXPECT_EQ(std::string(self_removal_script(c.self_path).text()), c.script);
    }
}

}  // namespace
