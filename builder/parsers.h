// The parsers behind compress_block, one per level. Each returns a complete
// block; compress_block chooses the stored form when that is smaller.
#pragma once

#include "foundation/core.h"

#include <stddef.h>

#include <algorithm>
#include <atomic>
#include <vector>

std::vector<u8> compress_fast(const u8* data, size_t length);
// The best level parses in chunks of this size to bound its memory, within
// segments of this size that are parsed on threads of their own (threads 0:
// one per core). Tests pass smaller chunks and segments to cross many
// borders.
const size_t best_chunk_size = size_t(1) << 18;
const size_t best_segment_size = size_t(1) << 22;
std::vector<u8> compress_best(const u8* data, size_t length, size_t chunk_size = best_chunk_size,
                              size_t segment_size = best_segment_size, unsigned threads = 0,
                              std::atomic<size_t>* done = nullptr);
