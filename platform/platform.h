// The platform layer: the file object, paths and directories, processes,
// the registry and the shell, over Win32.
//
// It uses the foundation only. The text-only path functions (path.h) are
// portable and built natively too; everything else calls Win32 and is
// built for the installer and the Win32 tests alone. Failures are results
// (bool, -1, an empty String); only broken internal checks are fatal.
#pragma once

#include "platform/datetime.h"
#include "platform/path.h"
#ifdef _WIN32
#include "platform/file.h"
#include "platform/filesystem.h"
#include "platform/registry.h"
#include "platform/shell.h"
#endif
