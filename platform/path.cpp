// Path texts. Windows paths: the separator is the backslash.
#include "platform/path.h"

bool set_default_extension(String& path, const char* ext) {
    i32 name_start = path.find_last_char('\\', path.length()) + 1;
    if (path.find_char('.', name_start) >= 0) return false;
    if (ext[0] != '.') path.append('.');
    path.append(ext);
    return true;
}
