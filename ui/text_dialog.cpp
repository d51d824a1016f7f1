// The licence and readme dialogs share one procedure: they show a text and
// end only through their two buttons. Esc and the caption's close box arrive
// as IDCANCEL, which is left unanswered on purpose: the user must choose.
#include "ui/ui.h"

const char licence_dialog_name[] = "LicenseDlg";
const char readme_dialog_name[] = "ReadmeDlg";

INT_PTR CALLBACK text_dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, ID_TEXT, reinterpret_cast<const char*>(lparam));
        center_window(dialog);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        WORD id = LOWORD(wparam);
        if (id == ID_ACCEPT || id == ID_DECLINE) {
            EndDialog(dialog, id);
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR show_text_dialog(const char* template_name, const char* text) {
    return DialogBoxParamA(instance, template_name, background_window, text_dialog_procedure,
                           reinterpret_cast<LPARAM>(text));
}
