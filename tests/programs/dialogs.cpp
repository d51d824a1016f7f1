// Puts the background window and each dialog of the installer on the screen,
// chosen by the command line, so that the robot can drive them and the
// screenshot command can photograph them:
//   dialogs licence | readme        ends with the dialog's result (1001, 1003)
//   dialogs progress STEPS          moves the bar STEPS times, then reports
//                                   its state in a "Done" box and ends with 0
//   dialogs centre WIDTH HEIGHT N   centres a WIDTH x HEIGHT popup of class
//                                   "SEA Centre Test" N times, then waits in
//                                   a "Centred" box; ends with 0
//   dialogs background NAME | hold-progress PERCENT
//                                   stay on the screen until ended
// Every verb starts up as the installer does, with the demo product's name.
#include "installer/installer.h"

#include <commctrl.h>

namespace {

const char demo_name[] = "SEA Demo Product 1.0";

const char licence_text[] =
    "SEA DEMO PRODUCT LICENSE\r\n\r\n"
    "1. You may install and use the product on any number of computers.\r\n"
    "2. You may not sell the product on its own.\r\n"
    "3. The product comes without warranty of any kind.";

const char readme_text[] =
    "Welcome to the SEA Demo Product.\r\n\r\n"
    "Close every other program before you go on: the installer replaces "
    "shared files that they may be using.";

CORE_NORETURN void wait_until_ended() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ExitProcess(0);
}

CORE_NORETURN void run_progress(i32 steps) {
    open_progress_dialog();
    set_status("Copying files");
    for (i32 step = 1; step <= steps; ++step) {
        set_progress(step * 100 / steps);
        Sleep(50);
    }
    char status[256] = "";
    GetDlgItemTextA(progress_dialog, ID_STATUS, status, sizeof status);
    LRESULT position = SendMessageA(progress_bar, PBM_GETPOS, 0, 0);
    MessageBoxA(background_window, formatted("Status \"%s\", bar at %d", status, static_cast<int>(position)).text(),
                "Done", MB_OK);
    ExitProcess(0);
}

CORE_NORETURN void run_centre(i32 width, i32 height, i32 times) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = instance;
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1);
    window_class.lpszClassName = "SEA Centre Test";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, window_class.lpszClassName, "", WS_POPUP | WS_VISIBLE, 7, 5, width, height,
                                  background_window, nullptr, instance, nullptr);
    for (i32 i = 0; i < times; ++i) center_window(window);
    MessageBoxA(background_window, "Centred", "Centre", MB_OK);
    ExitProcess(0);
}

CORE_NORETURN void run_hold_progress(i32 percent) {
    open_progress_dialog();
    set_status("Copying C:\\Program Files\\SEA Demo Product\\demo.exe");
    set_progress(percent);
    wait_until_ended();
}

}  // namespace

int WINAPI WinMain(HINSTANCE module_instance, HINSTANCE, LPSTR command_text, int) {
    String line(command_text);
    String verb = line.take_argument();
    String first = line.take_argument();
    String second = line.take_argument();
    String third = line.take_argument();
    start_up(module_instance);
    product_name = demo_name;
    if (verb.compare_no_case("licence") == 0) ExitProcess(show_text_dialog(licence_dialog_name, licence_text));
    if (verb.compare_no_case("readme") == 0) ExitProcess(show_text_dialog(readme_dialog_name, readme_text));
    if (verb.compare_no_case("progress") == 0) run_progress(first.to_int());
    if (verb.compare_no_case("centre") == 0) run_centre(first.to_int(), second.to_int(), third.to_int());
    if (verb.compare_no_case("hold-progress") == 0) run_hold_progress(first.to_int());
    if (verb.compare_no_case("background") == 0) {
        product_name = first;
        InvalidateRect(background_window, nullptr, TRUE);
        wait_until_ended();
    }
    fatal_error("unknown verb: %s", verb.text());
}
