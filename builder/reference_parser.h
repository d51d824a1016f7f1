// A slow, exhaustive optimum to measure the best level against: every
// earlier position in the window is tried as a match source, and every token
// length is tried at every position, from the end of the input backwards. It
// shares nothing with the best level but the format's numbers.
#pragma once

#include "foundation/core.h"

#include <stddef.h>

// The size of the smallest block that holds the bytes.
size_t reference_block_size(const u8* data, size_t length);
