// What the driver calls while it works on the one GUI thread: the status
// line, the bar, and the message pump that keeps the progress dialog and the
// background window painted. Apart from the dialog's procedure, so that code
// that only pumps messages does not bring the Abort question (and the end of
// the run) with it.
#include "ui/ui.h"

#include <commctrl.h>

void set_status(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    String text;
    text.format_va(format, arguments);
    va_end(arguments);
    if (progress_dialog) SetDlgItemTextA(progress_dialog, ID_STATUS, text.text());
    pump_messages();
}

void set_progress(i32 percent) {
    if (!progress_bar) return;
    PostMessageA(progress_bar, PBM_SETPOS, percent, 0);
    pump_messages();
}

void pump_messages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
