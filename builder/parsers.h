// The parsers behind compress_block, one per level. Each returns a complete
// block; compress_block chooses the stored form when that is smaller.
#pragma once

#include "foundation/core.h"

#include <stddef.h>

#include "builder/compressor.h"

#include <algorithm>
#include <vector>

std::vector<u8> compress_fast(const u8* data, size_t length, const CompressProgress& progress = nullptr);
// The best level parses in chunks of this size to bound its memory; tests
// pass smaller chunks to cross many borders.
const size_t best_chunk_size = size_t(1) << 22;
std::vector<u8> compress_best(const u8* data, size_t length, size_t chunk_size = best_chunk_size,
                              const CompressProgress& progress = nullptr);
