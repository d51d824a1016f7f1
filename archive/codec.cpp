// Scrambling, checksum and the LZ block decoder.
//
// The decoder keeps its output in a plain heap block rather than in a
// ByteBuffer so that nothing with a destructor lives on its stack when a
// corrupt token ends the process: a fatal handler that returns control
// elsewhere (the fuzz target does) loses nothing. The output grows
// geometrically: blocks that compress better than 2:1 would otherwise be
// reallocated every few tokens, which is quadratic in the decoded size.
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
// The block keeps this much allocated behind its reservation, like a
// ByteBuffer, so that a step may run past the last decoded byte.
const i32 output_slack = 64;
const i32 shrink_threshold = 512;
const i32 reservation_limit = i32_max - output_slack;
static_assert(output_slack >= copy_step, "a copy step must fit the slack");

struct Output {
    u8* block;
    i32 reserved;
    i32 decoded;
};

void xor_words(u8* data, i32 length, u32 key) {
    i32 words = length / 4;
    for (i32 i = 0; i < words; ++i) {
        u8* word = data + 4 * i;
        store_le32(word, load_le32(word) ^ key);
    }
    for (i32 i = words * 4; i < length; ++i) data[i] ^= static_cast<u8>(key >> (8 * (i & 3)));
}

void discard(Output& output) {
    core_free(output.block);
    output.block = nullptr;
}

CORE_NORETURN void fail_out_of_memory(Output& output) {
    discard(output);
    fatal_error("Out of memory");
}

CORE_NORETURN void fail_overlap(Output& output, i32 distance, i32 code) {
    discard(output);
    fatal_error("Decompress error 1: %d %d %d", output.decoded, distance, -code);
}

// token_end is where the token that does not fit would end.
CORE_NORETURN void fail_truncated(Output& output, i64 token_end, i32 end) {
    discard(output);
    fatal_error("Decompress error 2 b=%d max=%d",
                token_end > i32_max ? i32_max : static_cast<i32>(token_end), end);
}

void reserve(Output& output, i32 reservation) {
    output.block = static_cast<u8*>(
        core_reallocate(output.block, static_cast<size_t>(reservation) + output_slack));
    output.reserved = reservation;
}

// Makes room for n more decoded bytes; a copy step past them lands in the
// slack.
inline u8* room_for(Output& output, i32 n) {
    i64 needed = static_cast<i64>(output.decoded) + n;
    if (needed > output.reserved) {
        if (needed > reservation_limit) fail_out_of_memory(output);
        i64 doubled = 2 * static_cast<i64>(output.reserved);
        if (doubled > reservation_limit) doubled = reservation_limit;
        reserve(output, static_cast<i32>(needed > doubled ? needed : doubled));
    }
    return output.block + output.decoded;
}

inline void copy_in_steps(u8* destination, const u8* source, i32 n) {
    u8 step[copy_step];
    for (i32 i = 0; i < n; i += copy_step) {
        memcpy(step, source + i, copy_step);
        memcpy(destination + i, step, copy_step);
    }
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

bool decode_block(u8** data, i32* length) {
    if (!data || !*data || !length || *length < block_minimum_size) return false;
    const u8* in = *data;
    const i32 end = *length;
    if (load_le32(in) != block_magic) return false;

    Output output = {nullptr, 0, 0};
    i64 reservation = 2 * static_cast<i64>(end);
    reserve(output, static_cast<i32>(reservation > reservation_limit ? reservation_limit : reservation));

    i32 pos = block_magic_size;
    while (pos < end) {
        i32 code = static_cast<int8_t>(in[pos++]);
        i32 available = end - pos;
        if (code > 0) {
            if (code > available) fail_truncated(output, static_cast<i64>(pos) + code, end);
            u8* out = room_for(output, code);
            if (available >= copy_step && code <= copy_step) {
                copy_in_steps(out, in + pos, copy_step);
            } else {
                memcpy(out, in + pos, static_cast<size_t>(code));
            }
            output.decoded += code;
            pos += code;
        } else if (code < 0) {
            if (available < 2) fail_truncated(output, static_cast<i64>(pos) + 2, end);
            if (code == -128) {
                i32 count = in[pos + 1] + run_min;
                memset(room_for(output, count), in[pos], static_cast<size_t>(count));
                output.decoded += count;
            } else {
                i32 distance = static_cast<i32>(load_le16(in + pos)) + distance_bias;
                i32 n = distance_bias - code;
                if (distance > output.decoded || n > distance)
                    fail_overlap(output, distance, code);
                u8* out = room_for(output, n);
                copy_in_steps(out, out - distance, n);
                output.decoded += n;
            }
            pos += 2;
        } else {
            if (available < 2) fail_truncated(output, static_cast<i64>(pos) + 2, end);
            i32 count = static_cast<i32>(load_le16(in + pos));
            pos += 2;
            if (count > end - pos) fail_truncated(output, static_cast<i64>(pos) + count, end);
            if (count > 0) memcpy(room_for(output, count), in + pos, static_cast<size_t>(count));
            output.decoded += count;
            pos += count;
        }
    }

    if (output.decoded == 0) {
        core_free(output.block);
        output.block = nullptr;
    } else if (output.decoded < output.reserved + output_slack - shrink_threshold) {
        reserve(output, output.decoded);
    }
    *data = output.block;
    *length = output.decoded;
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
