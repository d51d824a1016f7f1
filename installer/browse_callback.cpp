// The folder dialog's callback: it selects the current choice when the
// dialog opens, and checks a typed path that is no existing folder, refusing
// what can never be an installation directory (the dialog stays open) and
// keeping the rest in browse_result (the dialog closes with no item).
#include <shlobj.h>

#include "installer/installer.h"

String browse_result;

namespace {

const int edit_box_id = 14148;

int refuse_typed(HWND window, const char* text) {
    MessageBoxA(window, text, "Error", MB_ICONHAND);
    return 1;
}

int check_typed_path(HWND window, const char* typed) {
    browse_result = typed;
    if (browse_result.is_empty()) return 1;
    if (!is_valid_path(browse_result)) {
        String text = formatted("This file path is illegal:\r\n%s", browse_result.text());
        return refuse_typed(window, text.text());
    }
    if (!has_drive_root(browse_result.text()))
        return refuse_typed(window, "You must specify a complete drive and path such as \"c:\\work\"");
    if (browse_result.length() <= 3) return refuse_typed(window, "You cannot install to the root of a drive.");
    return 0;
}

}  // namespace

int CALLBACK browse_callback(HWND window, UINT message, LPARAM parameter, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        center_window(window);
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
        SetDlgItemTextA(window, edit_box_id, reinterpret_cast<const char*>(data));
        return 0;
    }
    if (message == BFFM_VALIDATEFAILEDA) return check_typed_path(window, reinterpret_cast<const char*>(parameter));
    return 0;
}

