// The archive layer: the format of the archive that an installer carries
// behind its executable image, and the readers that decode it in memory.
//
// It knows the layout of the container, the header record and the file
// entries, and the block codec that unscrambles, checks and decompresses their
// bytes. It uses only the foundation (byte buffers, strings, the fatal
// report) and the platform layer's plain date record, so the installer and
// the `sea` tool share one definition of the format. It touches no Win32
// header; files are read by the layers above and handed in, as bytes or as
// an object with the File object's reading calls (container.h).
#pragma once

#include "archive/block_format.h"
#include "archive/codec.h"
#include "archive/container.h"
#include "archive/entry.h"
#include "archive/format.h"
#include "archive/header.h"
#include "archive/image_fields.h"
