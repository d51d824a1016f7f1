// Scrambling, checksum and the LZ block decoder.
//
// The decoder reads a block twice. The first walk over its tokens writes
// nothing: it checks every token against the bytes decoded before it and sums
// the decoded length, so that a corrupt block ends before anything is
// allocated, and the output is then allocated once at its exact size. The
// process never holds a reservation that is larger than the result, nor an
// old and a new copy of the output while it grows, and the second walk runs
// without a check. The output is a plain heap block rather than a ByteBuffer,
// so that nothing with a destructor lives on the stack when a corrupt token
// ends the process: a fatal handler that returns control elsewhere (the fuzz
// target does) loses nothing.
//
// Copies run in whole 16-byte steps into the slack that the block keeps behind
// its decoded bytes; a back-reference never overlaps its destination, so the
// bytes a step reads from the source are final before they are read, and what
// a step writes beyond the token is overwritten by the next one.
#include "archive/codec.h"

#include <string.h>

namespace {

typedef int64_t i64;

const i32 i32_max = 2147483647;
const i32 copy_step = 16;
// The block keeps this much allocated behind its decoded bytes, like a
// ByteBuffer, so that a step may run past the last one.
const i32 output_slack = 64;
const i32 output_limit = i32_max - output_slack;
static_assert(output_slack >= 2 * copy_step, "two copy steps must fit the slack");
// A short literal is copied in whole steps, which may read this far past its
// code byte; tokens that start closer than this to the end are decoded from a
// copy of the block's tail.
const i32 literal_reach = short_literal_header + (short_literal_max + copy_step - 1) / copy_step * copy_step;

void xor_words(u8* data, i32 length, u32 key) {
    i32 words = length / 4;
    for (i32 i = 0; i < words; ++i) {
        u8* word = data + 4 * i;
        store_le32(word, load_le32(word) ^ key);
    }
    for (i32 i = words * 4; i < length; ++i) data[i] ^= static_cast<u8>(key >> (8 * (i & 3)));
}

CORE_NORETURN void fail_out_of_memory() { fatal_error("Out of memory"); }

CORE_NORETURN void fail_overlap(i32 decoded, i32 distance, u32 code) {
    fatal_error("Decompress error 1: %d %d %d", decoded, distance, -static_cast<int8_t>(code));
}

// token_end is where the token that does not fit would end.
CORE_NORETURN void fail_truncated(i64 token_end, i32 end) {
    fatal_error("Decompress error 2 b=%d max=%d", token_end > i32_max ? i32_max : static_cast<i32>(token_end), end);
}

inline bool is_short_literal(u32 code) { return code - 1 < code_run - 1u; }
inline bool is_match(u32 code) { return code > code_run; }

inline void copy_step_at(u8* destination, const u8* source) {
    u8 step[copy_step];
    memcpy(step, source, copy_step);
    memcpy(destination, step, copy_step);
}

// Two steps unconditionally, since most tokens are that short: the loop and
// its mispredicted exit are left to the long ones.
inline void copy_in_steps(u8* destination, const u8* source, i32 n) {
    copy_step_at(destination, source);
    copy_step_at(destination + copy_step, source + copy_step);
    if (__builtin_expect(n > 2 * copy_step, 0)) {
        for (i32 i = 2 * copy_step; i < n; i += copy_step) copy_step_at(destination + i, source + i);
    }
}

inline void fill_in_steps(u8* destination, u8 value, i32 n) {
    u8 step[copy_step];
    memset(step, value, copy_step);
    for (i32 i = 0; i < n; i += copy_step) memcpy(destination + i, step, copy_step);
}

// One token of a block already found sound. A short literal is copied in
// steps, which may read up to literal_reach bytes from the token's start.
inline void decode_token(const u8*& in, u8*& out) {
    u32 code = *in;
    if (is_short_literal(code)) {
        copy_in_steps(out, in + 1, static_cast<i32>(code));
        out += code;
        in += code + 1;
    } else if (is_match(code)) {
        i32 n = match_code_base - static_cast<i32>(code);
        copy_in_steps(out, out - (load_le16(in + 1) + distance_bias), n);
        out += n;
        in += match_token_size;
    } else if (code == code_run) {
        i32 n = in[2] + run_min;
        fill_in_steps(out, in[1], n);
        out += n;
        in += 3;
    } else {
        i32 n = static_cast<i32>(load_le16(in + 1));
        memcpy(out, in + 3, static_cast<size_t>(n));
        out += n;
        in += 3 + n;
    }
}

// The tokens up to stop, in one loop that both parts of a block share. Kept
// out of line, so that the token's code is compiled once, inside the loop,
// rather than called for every token.
__attribute__((noinline)) void decode_tokens(const u8*& in, const u8* stop, u8*& out) {
    while (in < stop) decode_token(in, out);
}

}  // namespace

void xor_scramble_dword_range(u8* data, i32 length, u32 key) {
    if (data && length > 0) xor_words(data, length, key);
}

void xor_scramble_byte_range(u8* data, i32 length, u8 key) {
    u32 word_key = 0x01010101u * key;
    if (data && length > 0) xor_words(data, length, word_key);
}

void xor_scramble_dword(ByteBuffer& buffer, u32 key) {
    xor_scramble_dword_range(buffer.data(), buffer.size(), key);
}

void xor_scramble_byte(ByteBuffer& buffer, u8 key) {
    xor_scramble_byte_range(buffer.data(), buffer.size(), key);
}

u32 block_checksum(const u8* data, i32 length) {
    u32 sum = checksum_seed;
    if (!data || length < 1) return sum;
    i32 words = length / 4;
    for (i32 i = 0; i < words; ++i) sum += load_le32(data + 4 * i);
    for (i32 i = words * 4; i < length; ++i) sum += static_cast<u32>(static_cast<i32>(static_cast<int8_t>(data[i])));
    return sum + static_cast<u32>(length);
}

u32 buffer_checksum(const ByteBuffer& buffer) { return block_checksum(buffer.data(), buffer.size()); }

i32 block_decoded_length(const u8* in, i32 end) {
    i32 decoded = 0;
    i32 pos = block_magic_size;
    while (pos < end) {
        u32 code = in[pos++];
        i32 n;
        if (is_short_literal(code)) {
            n = static_cast<i32>(code);
            if (n > end - pos) fail_truncated(static_cast<i64>(pos) + n, end);
            pos += n;
        } else {
            if (end - pos < 2) fail_truncated(static_cast<i64>(pos) + 2, end);
            if (is_match(code)) {
                n = match_code_base - static_cast<i32>(code);
                i32 distance = static_cast<i32>(load_le16(in + pos)) + distance_bias;
                if (distance > decoded || n > distance) fail_overlap(decoded, distance, code);
                pos += 2;
            } else if (code == code_run) {
                n = in[pos + 1] + run_min;
                pos += 2;
            } else {
                n = static_cast<i32>(load_le16(in + pos));
                pos += 2;
                if (n > end - pos) fail_truncated(static_cast<i64>(pos) + n, end);
                pos += n;
            }
        }
        if (n > output_limit - decoded) fail_out_of_memory();
        decoded += n;
    }
    return decoded;
}

bool decode_block(u8** data, i32* length) {
    if (!data || !*data || !length || *length < block_minimum_size) return false;
    const u8* in = *data;
    const i32 end = *length;
    if (load_le32(in) != block_magic) return false;

    i32 decoded = block_decoded_length(in, end);
    u8* block = nullptr;
    if (decoded > 0) {
        block = static_cast<u8*>(core_allocate(static_cast<size_t>(decoded) + output_slack));
        const u8* ip = in + block_magic_size;
        const u8* far_end = in + (end > literal_reach ? end - literal_reach : 0);
        u8* op = block;
        decode_tokens(ip, far_end, op);
        // The tokens that start closer than literal_reach to the end are
        // decoded from a copy with room behind it, so that the same walk
        // serves them without reading past the block.
        u8 tail[2 * literal_reach] = {};
        i32 left = static_cast<i32>(in + end - ip);
        memcpy(tail, ip, static_cast<size_t>(left));
        const u8* tp = tail;
        decode_tokens(tp, tail + left, op);
    }
    *data = block;
    *length = decoded;
    return true;
}

bool decompress_in_place(ByteBuffer& buffer) {
    u8* data = buffer.data();
    i32 length = buffer.size();
    if (!decode_block(&data, &length)) return false;
    buffer.adopt(data, length);
    buffer.set_position(0);
    return true;
}
