// The builder layer: everything that makes an archive rather than reads one.
//
// It runs on the developer's machine as part of the native `sea` tool and is
// never linked into the installer, so it may use the whole standard library,
// exceptions included. It uses the archive layer for the one definition of
// the format (block_format.h) and for the checksum and scrambling that the
// installer undoes, and through it the foundation.
#pragma once

#include "builder/compressor.h"
