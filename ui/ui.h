// The user-interface layer: the full-screen background window that bears the
// product's name, the licence, readme and progress dialogs, and the
// process-wide window state that the driver, the dialogs and the message
// boxes share.
//
// It uses the foundation and Win32 (user32, gdi32, the common controls). The
// end of the run is the driver's (terminate_run, declared below and defined
// in installer/messages.cpp): the progress dialog's Abort calls it.
#pragma once

#include <windows.h>

#include "foundation/foundation.h"
#include "ui/resource.h"

// Process-wide state, from start-up to the end of the run.
extern HINSTANCE instance;
extern HWND background_window;   // owner of every box and dialog; null before start-up
extern HWND progress_dialog;     // the modeless progress dialog, while it exists
extern HWND progress_bar;        // its bar, while it exists
extern String product_name;      // drawn on the background window at every paint

extern const char background_window_class[];  // "SEA Window Classs"

// Destroys the windows and ends the process with exit code 1.
CORE_NORETURN void terminate_run();

// The background window.
LRESULT CALLBACK background_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The title's font for `device`: bold italic Times New Roman of the largest
// whole point size from 22 down to 6 at which `title` is narrower than
// `width`; 6 points whatever the width. The caller deletes it.
HFONT choose_title_font(HDC device, const String& title, LONG width);

// Template names of the dialog resources (matched without regard to case).
extern const char licence_dialog_name[];   // "LicenseDlg"
extern const char readme_dialog_name[];    // "ReadmeDlg"
extern const char progress_dialog_name[];  // "ProgressDlg"

// The licence and readme dialogs: the creation parameter is the text shown.
// The result is ID_ACCEPT (1001) or ID_DECLINE (1003); Esc and the close box
// leave the dialog open.
INT_PTR CALLBACK text_dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Shows the licence or readme dialog modally in front of the background
// window and returns its result.
INT_PTR show_text_dialog(const char* template_name, const char* text);

// The modeless progress dialog. It cannot be closed but through its Abort
// button, whose Yes ends the run through terminate_run.
INT_PTR CALLBACK progress_dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Creates the progress dialog in front of the background window and keeps
// it in progress_dialog; its bar goes to progress_bar.
void open_progress_dialog();
// Destroys the progress dialog, when there is one.
void close_progress_dialog();

// The status line of the progress dialog; pumps messages also when there is
// no dialog.
void set_status(const char* format, ...) CORE_PRINTF(1, 2);
// Moves the bar (0 to 100); does nothing while there is no bar.
void set_progress(i32 percent);
// Dispatches every waiting message of the thread, without the dialog
// manager: the modeless dialog has no keyboard navigation.
void pump_messages();
// Centres a window on the screen, cut to the screen's size.
void center_window(HWND window);
