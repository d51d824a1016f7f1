// The block compressor: turns bytes into an LZ block that the installer's
// decode_block turns back into the same bytes.
//
// Two levels. `fast` parses greedily over a hash table and is meant for quick
// builds; `best` finds, for every position, the longest back-reference the
// format allows (inside a long match, the rest of that match stands for it)
// and then chooses the cheapest token sequence by dynamic programming over the
// exact token sizes, within a fraction of a percent of the smallest block. Either way a block is never larger
// than the bytes stored as literals plus the magic and one literal header per
// 65,535 bytes (stored_block_size).
#pragma once

#include "foundation/core.h"

#include <stddef.h>

#include <atomic>
#include <vector>

enum class CompressionLevel { fast, best };

// The decoder counts in signed 32 bits; this leaves room for the literal
// headers of an incompressible block of that length.
const size_t max_block_input = 0x7FF00000u;

// Throws std::length_error for more than max_block_input bytes. The best
// level runs on that many threads (0: one per core); the block is the same
// bytes whatever their number.
// done, when given, counts the input bytes parsed so far, for a progress
// display on another thread.
std::vector<u8> compress_block(const u8* data, size_t length, CompressionLevel level, unsigned threads = 0,
                               std::atomic<size_t>* done = nullptr);

// The block that holds the bytes as literals only, and its size.
std::vector<u8> store_block(const u8* data, size_t length);
size_t stored_block_size(size_t length);

// The encoder's side of the block checksum and the scramblings, for whole
// byte vectors (each at most 2 GiB).
u32 checksum_of(const std::vector<u8>& bytes);
void scramble_dword(std::vector<u8>& bytes, u32 key);
void scramble_byte(std::vector<u8>& bytes, u8 key);
