// The demo product's startup program: it tells the time the computer was
// started with it, and ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[64];
    wsprintfA(text, "It is %02d:%02d.", now.wHour, now.wMinute);
    MessageBoxA(nullptr, text, "SEA Demo Clock", MB_OK | MB_ICONINFORMATION);
    return 0;
}
