// The block codec: the two XOR scramblings, the additive checksum and the
// decoder of LZ blocks (block_format.h).
//
// All of them are pure functions over bytes in memory; none reads files or
// keeps state between calls. The decoder's guarantee on hostile input: for any
// byte range it either returns a block of exactly the decoded bytes or ends
// the process through fatal_error with one of the two "Decompress error"
// reports; it never reads or writes outside the input range and its own output
// block, and its work is bounded by the input length times the largest
// expansion of one token (261 bytes out of 3). The decoded length is bounded
// by the 32-bit range; a block that would decode to more is the "Out of
// memory" report.
#pragma once

#include "archive/block_format.h"
#include "foundation/byte_buffer.h"

// Scrambling and unscrambling are one operation: byte i of the range is XORed
// with byte (i mod 4) of the key, least significant first.
void xor_scramble_dword(ByteBuffer& buffer, u32 key);
void xor_scramble_byte(ByteBuffer& buffer, u8 key);
void xor_scramble_dword_range(u8* data, i32 length, u32 key);
void xor_scramble_byte_range(u8* data, i32 length, u8 key);

const u32 checksum_seed = 0x79E2BC9Du;

u32 block_checksum(const u8* data, i32 length);
u32 buffer_checksum(const ByteBuffer& buffer);

// False, with both arguments unchanged, when the range is not a block (null
// pointers, fewer than 6 bytes, wrong magic). On success *data is a new block
// from core_allocate that the caller owns (null when nothing was decoded),
// allocated once at its exact size since every token is checked first, and
// *length its size; the input block stays with its owner. A corrupt token
// ends the process with "Decompress error 1: P D L" (bytes decoded so far,
// the distance, and the length less 4) or "Decompress error 2 b=B max=M",
// where B is the offset from the block's start at which the token that does
// not fit would end and M the block's length.
bool decode_block(u8** data, i32* length);

// The first of decode_block's two walks over a block: the number of bytes it
// decodes to, once every token has been found sound (inside the block, and a
// back-reference inside the output before it, not overlapping its
// destination); the first token that is not ends the process with its report,
// as decode_block does. data holds the magic and length is at least 6.
i32 block_decoded_length(const u8* data, i32 length);

// decode_block on the buffer's bytes; on success the buffer holds the decoded
// bytes with its position at 0, on false it is untouched.
bool decompress_in_place(ByteBuffer& buffer);
