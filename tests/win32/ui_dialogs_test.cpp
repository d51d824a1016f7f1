// The dialogs against the real window manager under Wine: the progress
// dialog's bar over its frame, the status line, the bar's position through
// the posted message and the pump, what the close command does, the handles
// once the dialog is gone, and the text dialog's text and centring. The
// Abort question and the text dialogs' buttons are the robot's (dialogs.txt).
#include <gtest/gtest.h>

#include "ui/ui.h"

#include <commctrl.h>

// The progress dialog's Yes ends the run through the driver; no test here
// answers the question, so reaching this is a failure of its own.
void terminate_run() {
    fputs("terminate_run reached\n", stderr);
    ExitProcess(3);
}

namespace {

RECT window_rect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

String control_text(HWND dialog, int id) {
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return String(text);
}

// Counts the WM_APP messages that reach it, to see whether a call pumped.
int app_messages;
LRESULT CALLBACK counting_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP) ++app_messages;
    return DefWindowProcA(window, message, wparam, lparam);
}

class ProgressDialog : public testing::Test {
protected:
    void SetUp() override {
        instance = GetModuleHandleA(nullptr);
        product_name = "Demo 2.0";
        open_progress_dialog();
        ASSERT_NE(progress_dialog, nullptr);
    }
    void TearDown() override {
        if (progress_dialog) DestroyWindow(progress_dialog);
        if (counter) DestroyWindow(counter);
    }

    HWND counting_window() {
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = counting_procedure;
        window_class.hInstance = instance;
        window_class.lpszClassName = "SEA Counting Test";
        RegisterClassA(&window_class);
        counter = CreateWindowExA(0, window_class.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  instance, nullptr);
        app_messages = 0;
        return counter;
    }

    HWND counter = nullptr;
};

TEST_F(ProgressDialog, names_the_product_and_lays_its_bar_one_pixel_over_the_frame_and_two_under) {
    EXPECT_STREQ(control_text(progress_dialog, ID_INSTALLING).text(), "Installing Demo 2.0...");
    ASSERT_NE(progress_bar, nullptr);
    EXPECT_EQ(GetParent(progress_bar), progress_dialog);
    char name[64] = "";
    GetClassNameA(progress_bar, name, sizeof name);
    EXPECT_STREQ(name, "msctls_progress32");
    RECT frame = window_rect(GetDlgItem(progress_dialog, ID_BAR_FRAME));
    RECT bar = window_rect(progress_bar);
    EXPECT_EQ(bar.left, frame.left - 1);
    EXPECT_EQ(bar.top, frame.top - 1);
    EXPECT_EQ(bar.right, frame.right + 2);
    EXPECT_EQ(bar.bottom, frame.bottom + 2);
    EXPECT_GT(frame.right - frame.left, 100) << "the frame is laid out in dialog units";
}

TEST_F(ProgressDialog, set_status_formats_the_status_line) {
    set_status("Copying %s (%d of %d)", "C:\\Demo\\a.txt", 3, 7);
    EXPECT_STREQ(control_text(progress_dialog, ID_STATUS).text(), "Copying C:\\Demo\\a.txt (3 of 7)");
    set_status("%s", "");
    EXPECT_STREQ(control_text(progress_dialog, ID_STATUS).text(), "");
}

TEST_F(ProgressDialog, set_progress_has_moved_the_bar_when_it_returns) {
    for (i32 percent : {0, 5, 45, 100, 87}) {
        set_progress(percent);
        EXPECT_EQ(SendMessageA(progress_bar, PBM_GETPOS, 0, 0), percent);
    }
}

TEST_F(ProgressDialog, set_status_and_set_progress_pump_the_waiting_messages) {
    HWND window = counting_window();
    PostMessageA(window, WM_APP, 0, 0);
    set_status("one");
    EXPECT_EQ(app_messages, 1);
    PostMessageA(window, WM_APP, 0, 0);
    PostMessageA(window, WM_APP, 0, 0);
    set_progress(10);
    EXPECT_EQ(app_messages, 3);
}

TEST_F(ProgressDialog, the_close_command_and_cancel_leave_it_open) {
    HWND dialog = progress_dialog;
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    pump_messages();
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(progress_dialog, dialog);
}

TEST_F(ProgressDialog, once_destroyed_it_leaves_no_handles_and_the_updates_touch_nothing) {
    HWND bar = progress_bar;
    DestroyWindow(progress_dialog);
    EXPECT_EQ(progress_dialog, nullptr);
    EXPECT_EQ(progress_bar, nullptr);
    EXPECT_FALSE(IsWindow(bar));

    HWND window = counting_window();
    PostMessageA(window, WM_APP, 0, 0);
    set_progress(50);
    EXPECT_EQ(app_messages, 0) << "without a bar set_progress does nothing, not even pump";
    set_status("no dialog %d", 1);
    EXPECT_EQ(app_messages, 1) << "without a dialog set_status still pumps";
}

TEST(TextDialog, shows_its_text_centred_on_the_screen) {
    instance = GetModuleHandleA(nullptr);
    const char text[] = "Line one\r\nLine two";
    HWND dialog = CreateDialogParamA(instance, licence_dialog_name, nullptr, text_dialog_procedure,
                                     reinterpret_cast<LPARAM>(text));
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(control_text(dialog, ID_TEXT).text(), text);
    RECT rect = window_rect(dialog);
    int screen_width = GetSystemMetrics(SM_CXSCREEN), screen_height = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(rect.left, screen_width - rect.right, 1);
    EXPECT_NEAR(rect.top, screen_height - rect.bottom, 1);
    DestroyWindow(dialog);
}

}  // namespace
