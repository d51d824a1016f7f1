// The foundation layer: the one text type `String`, memory and the fatal
// report, the formatting scratch, the list and stack containers, and the raw
// `ByteBuffer`.
//
// It is portable C++ and uses nothing but the C and C++ standard libraries:
// no Win32 header appears here, so the installer and the native tools and
// tests share it. Every failure that is not reported by a result ends the
// process through fatal_error (core.h); nothing throws.
#pragma once

#include "foundation/byte_buffer.h"
#include "foundation/containers.h"
#include "foundation/core.h"
#include "foundation/string.h"
