// The bare Wine program that the installer benchmark measures against: a GUI
// program that shows a window, as the installer does, and ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND window = CreateWindowExA(0, "STATIC", "bare", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                  instance, nullptr);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    DestroyWindow(window);
    return 0;
}
