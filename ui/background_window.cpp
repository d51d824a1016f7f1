// The background window: a plain popup that covers the screen behind every
// box and dialog of the run. It takes no input of its own and, in
// particular, posts no quit message: the run ends through terminate_run.
#include "ui/ui.h"

LRESULT CALLBACK background_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}
