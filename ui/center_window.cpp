// Centring on the screen, applied by every dialog of the system to itself.
// A window larger than the screen is cut to it and put at its corner. The
// size is taken as right - left: counting both edges would grow the window
// by a pixel in each direction every time it is centred.
#include "ui/ui.h"

void center_window(HWND window) {
    int screen_width = GetSystemMetrics(SM_CXSCREEN);
    int screen_height = GetSystemMetrics(SM_CYSCREEN);
    RECT rect = {};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width > screen_width) width = screen_width;
    if (height > screen_height) height = screen_height;
    int x = (screen_width - width) >> 1;
    int y = (screen_height - height) >> 1;
    MoveWindow(window, x < 0 ? 0 : x, y < 0 ? 0 : y, width, height, FALSE);
}
