// The standard boxes and every end of a run. The fatal report is the
// foundation's link-time seam: here it is the "FATAL ERROR" box. It formats
// straight into the shared scratch, so it still works when the heap is
// exhausted, and it is safe before the background window exists (the box then
// has no owner) and while the progress dialog is open.
#include "installer/installer.h"

const char uninstaller_file_name[] = "Uninstall.EXE";
const char log_file_name[] = "Install.LOG";
bool automatic;

namespace {

const char fatal_title[] = "FATAL ERROR";
const UINT fatal_flags = MB_OK | MB_ICONHAND | MB_TASKMODAL;

const char usage_format[] =
    "%s\n\nUsage:\n%s [/a] [/d:<dir>] [/n:<name>] [/u:<name>]\n\n"
    "/a\tAutomatic mode\n"
    "/d:\"dir\"\tOverride installation directory\n"
    "/n:\"name\"\tOverride product name\n"
    "/u:\"name\"\tUninstall product by name";

const char replace_newer_format[] =
    "A newer copy of the following %s file (dated %s) is on your computer:\r\n%s\r\n\r\n"
    "Do you wish to overwrite this file with the version dated %s (not recommended)?";

}  // namespace

void terminate_run() {
    if (background_window) {
        DestroyWindow(background_window);
        background_window = nullptr;
    }
    close_progress_dialog();
    ExitProcess(1);
}

void fatal_error_va(const char* format, va_list arguments) {
    show_box(format_to_scratch(format, arguments), fatal_title, fatal_flags);
    terminate_run();
}

void fatal_error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    fatal_error_va(format, arguments);
}

void corrupt_archive(i32 code) { fatal_error(corrupt_archive_format, code); }

void show_usage(const char* message) { fatal_error(usage_format, message, uninstaller_file_name); }

void error_box(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    String text;
    text.format_va(format, arguments);
    va_end(arguments);
    show_error(text.text());
}

int show_box(const char* text, const char* title, UINT flags) {
    return MessageBoxA(background_window, text, title, flags);
}

void show_error(const char* text) {
    if (!automatic) show_box(text, "Error", MB_OK | MB_ICONHAND);
}

bool ask_replace_newer(const char* path, const DateTime& new_date, const char* kind) {
    if (!new_date.is_set()) return true;
    DateTime existing;
    {
        // Not exclusive: a font or shared file may well be open elsewhere.
        File file;
        if (!file.open_for_reading(path, false) || !file.get_date(existing)) return true;
    }
    if (existing.is_not_after(new_date)) return true;
    if (automatic) return false;
    String existing_text = existing.format();
    String new_text = new_date.format();
    String question = formatted(replace_newer_format, kind, existing_text.text(), path, new_text.text());
    return show_box(question.text(), "Replace File?", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void broadcast_font_change() { SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); }
