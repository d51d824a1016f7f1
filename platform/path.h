// Path texts: functions that only look at and edit the text of a path,
// never the disk, so they are portable and tested natively.
#pragma once

#include "foundation/foundation.h"

// Appends ".ext" (ext may bring its own dot) when the file-name part of
// path, behind its last backslash, holds no dot; a dot in a directory name
// does not count. Returns whether it appended.
bool set_default_extension(String& path, const char* ext);
