// The block compressor: turns bytes into an LZ block that the installer's
// decode_block turns back into the same bytes.
//
// Two levels. `fast` parses greedily over a hash table and is meant for quick
// builds; `best` finds, for every position, the longest back-reference the
// format allows and then chooses the cheapest token sequence by dynamic
// programming over the exact token sizes. Either way a block is never larger
// than the bytes stored as literals plus the magic and one literal header per
// 65,535 bytes (stored_block_size).
#pragma once

#include "foundation/core.h"

#include <stddef.h>

#include <functional>
#include <vector>

enum class CompressionLevel { fast, best };

// The decoder counts in signed 32 bits; this leaves room for the literal
// headers of an incompressible block of that length.
const size_t max_block_input = 0x7FF00000u;

// Told now and then how many of the bytes are done, for a display of
// progress on a long build.
typedef std::function<void(size_t done, size_t total)> CompressProgress;

// Throws std::length_error for more than max_block_input bytes.
std::vector<u8> compress_block(const u8* data, size_t length, CompressionLevel level,
                               const CompressProgress& progress = nullptr);

// The block that holds the bytes as literals only, and its size.
std::vector<u8> store_block(const u8* data, size_t length);
size_t stored_block_size(size_t length);

// The encoder's side of the block checksum and the scramblings, for whole
// byte vectors (each at most 2 GiB).
u32 checksum_of(const std::vector<u8>& bytes);
void scramble_dword(std::vector<u8>& bytes, u32 key);
void scramble_byte(std::vector<u8>& bytes, u8 key);
