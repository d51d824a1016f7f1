// The LZ block format, written down once for both sides: the installer's
// decoder and the archive builder's compressor include this file, so the two
// cannot drift apart.
//
// A block is the magic followed by tokens up to its last byte; it carries no
// decoded length and no end marker. A back-reference never overlaps the bytes
// it writes, so its length is at most its distance, and the shortest distance
// that can ever be used is the shortest length, 5, not the 4 that the
// distance field's bias would allow.
#pragma once

#include "foundation/core.h"

const u32 block_magic = 0x9EC72BA0u;
const i32 block_magic_size = 4;
// The magic and the two bytes of the shortest token.
const i32 block_minimum_size = 6;

// Code bytes: 0x00 long literal, 0x01..0x7F short literal, 0x80 run,
// 0x81..0xFF back-reference of length 260 - code.
const u8 code_long_literal = 0x00;
const u8 code_run = 0x80;
const i32 short_literal_max = 127;
const i32 long_literal_max = 65535;
const i32 run_min = 6;
const i32 run_max = run_min + 255;
const i32 match_min = 5;
const i32 match_max = 131;
const i32 match_code_base = 260;
const i32 distance_bias = 4;
const i32 distance_max = distance_bias + 65535;
// Byte costs of the tokens apart from their literal bytes.
const i32 short_literal_header = 1;
const i32 long_literal_header = 3;
const i32 run_token_size = 3;
const i32 match_token_size = 3;

inline u32 load_le16(const u8* p) { return static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8; }

inline u32 load_le32(const u8* p) {
    return static_cast<u32>(p[0]) | static_cast<u32>(p[1]) << 8 | static_cast<u32>(p[2]) << 16 |
           static_cast<u32>(p[3]) << 24;
}

inline void store_le16(u8* p, u32 value) {
    p[0] = static_cast<u8>(value);
    p[1] = static_cast<u8>(value >> 8);
}

inline void store_le32(u8* p, u32 value) {
    p[0] = static_cast<u8>(value);
    p[1] = static_cast<u8>(value >> 8);
    p[2] = static_cast<u8>(value >> 16);
    p[3] = static_cast<u8>(value >> 24);
}
