// The user-interface layer: the full-screen background window that bears the
// product's name, the dialogs, and the process-wide window state that the
// driver, the dialogs and the message boxes share.
//
// It uses the foundation and Win32 (user32, gdi32, the common controls).
#pragma once

#include <windows.h>

#include "foundation/foundation.h"

// Process-wide state, from start-up to the end of the run.
extern HINSTANCE instance;
extern HWND background_window;   // owner of every box and dialog; null before start-up
extern HWND progress_dialog;     // the modeless progress dialog, while it exists
extern HWND progress_bar;        // its bar
extern String product_name;      // drawn on the background window at every paint

extern const char background_window_class[];  // "SEA Window Classs"

LRESULT CALLBACK background_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
