// The demo product's main program: it greets the user and ends. Small on
// purpose; it is what the demo's shortcuts start.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr, "Hello from the SEA demo!", "SEA Demo", MB_OK | MB_ICONINFORMATION);
    return 0;
}
