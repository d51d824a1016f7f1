// The modeless progress dialog. Its bar is made here, over the frame that the
// template holds for it, after initialising the common controls' progress
// class ourselves: nothing else guarantees that the class is registered on a
// stock system.
#include "ui/ui.h"

#include <commctrl.h>

const char progress_dialog_name[] = "ProgressDlg";

namespace {

const char abort_question[] = "Installation is not complete.  Are you sure you want to abort?";

// One pixel over the frame on the left and top, two on the right and bottom,
// so that the bar's own border hides the frame.
void create_progress_bar(HWND dialog) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(GetDlgItem(dialog, ID_BAR_FRAME), &placement);
    const RECT& frame = placement.rcNormalPosition;
    progress_bar = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, frame.left - 1,
                                   frame.top - 1, frame.right - frame.left + 3, frame.bottom - frame.top + 3,
                                   dialog, nullptr, instance, nullptr);
}

}  // namespace

INT_PTR CALLBACK progress_dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            center_window(dialog);
            create_progress_bar(dialog);
            SetDlgItemTextA(dialog, ID_INSTALLING, formatted("Installing %s...", product_name.text()).text());
            return TRUE;
        case WM_COMMAND:
            // Only a real click (a control handle in lParam): the close box's
            // IDCANCEL is ignored, so Abort is the only way out.
            if (lparam != 0 && LOWORD(wparam) == ID_DECLINE &&
                MessageBoxA(dialog, abort_question, "Abort", MB_YESNO | MB_ICONQUESTION) == IDYES) {
                terminate_run();
            }
            break;
        case WM_DESTROY:
            // Keeps "null when there is none" true however the dialog ends,
            // so that nothing is ever sent to a handle that may be reused.
            progress_bar = nullptr;
            progress_dialog = nullptr;
            break;
    }
    return FALSE;
}

void open_progress_dialog() {
    progress_dialog = CreateDialogParamA(instance, progress_dialog_name, background_window,
                                         progress_dialog_procedure, 0);
}

void close_progress_dialog() {
    if (!progress_dialog) return;
    DestroyWindow(progress_dialog);
    progress_dialog = nullptr;
}
