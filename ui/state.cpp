// The process-wide window state. The String is built before the entry point
// runs and lives until the process ends.
#include "ui/ui.h"

HINSTANCE instance;
HWND background_window;
HWND progress_dialog;
HWND progress_bar;
String product_name;

// Three letters s at the end: existing installations may look for it.
const char background_window_class[] = "SEA Window Classs";
