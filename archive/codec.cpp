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
static_assert(output_slack >= 2 * copy_step, "two copy steps must fit the slack");
// Most of a block is decoded two literal and back-reference pairs at a time
// without looking at either end: only while two pairs, with the whole steps
// that copy them, lie inside the input and fit the reservation.
const i32 literal_reach = (short_literal_max + copy_step - 1) / copy_step * copy_step;
const i32 unchecked_input_margin = 2 * (short_literal_header + literal_reach + match_token_size);
const i32 unchecked_output_margin = 2 * (short_literal_max + match_max);

// The output block under construction; the decoder keeps copies of these in
// locals and hands them here only to grow or to give up.
struct Output {
    u8* block;
    i32 reserved;
};

void xor_words(u8* data, i32 length, u32 key) {
    i32 words = length / 4;
    for (i32 i = 0; i < words; ++i) {
        u8* word = data + 4 * i;
        store_le32(word, load_le32(word) ^ key);
    }
    for (i32 i = words * 4; i < length; ++i) data[i] ^= static_cast<u8>(key >> (8 * (i & 3)));
}

CORE_NORETURN void fail_out_of_memory(u8* block) {
    core_free(block);
    fatal_error("Out of memory");
}

CORE_NORETURN void fail_overlap(u8* block, i32 decoded, i32 distance, i32 code) {
    core_free(block);
    fatal_error("Decompress error 1: %d %d %d", decoded, distance, -code);
}

// token_end is where the token that does not fit would end.
CORE_NORETURN void fail_truncated(u8* block, i64 token_end, i32 end) {
    core_free(block);
    fatal_error("Decompress error 2 b=%d max=%d", token_end > i32_max ? i32_max : static_cast<i32>(token_end), end);
}

void reserve(Output& output, i32 reservation) {
    output.block = static_cast<u8*>(
        core_reallocate(output.block, static_cast<size_t>(reservation) + output_slack));
    output.reserved = reservation;
}

// Grows the block so that n bytes fit behind the decoded ones; a copy step
// past them lands in the slack.
void grow(Output& output, i32 decoded, i32 n) {
    i64 needed = static_cast<i64>(decoded) + n;
    if (needed > reservation_limit) fail_out_of_memory(output.block);
    i64 doubled = 2 * static_cast<i64>(output.reserved);
    if (doubled > reservation_limit) doubled = reservation_limit;
    reserve(output, static_cast<i32>(needed > doubled ? needed : doubled));
}

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
    for (i32 i = 2 * copy_step; i < n; i += copy_step) copy_step_at(destination + i, source + i);
}

// A literal if one comes next, then the back-reference that nearly always
// follows it. False, with the literal decoded, when the next token is not a
// back-reference; the caller has made sure that both would fit.
inline bool decode_pair_unchecked(const u8*& in, u8*& out, u8* block) {
    u32 code = *in;
    if (code - 1 < code_run - 1) {
        copy_step_at(out, in + 1);
        copy_step_at(out + copy_step, in + 1 + copy_step);
        if (__builtin_expect(code > 2 * copy_step, 0)) {
            for (u32 i = 2 * copy_step; i < code; i += copy_step) copy_step_at(out + i, in + 1 + i);
        }
        out += code;
        in += code + 1;
        code = *in;
    }
    if (__builtin_expect(code <= code_run, 0)) return false;
    i32 n = match_code_base - static_cast<i32>(code);
    i32 distance = static_cast<i32>(load_le16(in + 1)) + distance_bias;
    i32 decoded = static_cast<i32>(out - block);
    if (__builtin_expect(distance > decoded || n > distance, 0)) {
        fail_overlap(block, decoded, distance, static_cast<int8_t>(code));
    }
    copy_in_steps(out, out - distance, n);
    out += n;
    in += match_token_size;
    return true;
}

inline void fill_in_steps(u8* destination, u8 value, i32 n) {
    u8 step[copy_step];
    memset(step, value, copy_step);
    for (i32 i = 0; i < n; i += copy_step) memcpy(destination + i, step, copy_step);
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

    Output output = {nullptr, 0};
    i64 reservation = 2 * static_cast<i64>(end);
    reserve(output, static_cast<i32>(reservation > reservation_limit ? reservation_limit : reservation));
    u8* block = output.block;
    i32 reserved = output.reserved;
    i32 decoded = 0;

    const u8* unchecked_end = in + (end > unchecked_input_margin ? end - unchecked_input_margin : 0);
    i32 pos = block_magic_size;
    for (;;) {
        const u8* ip = in + pos;
        u8* op = block + decoded;
        u8* unchecked_out_end = block + (reserved > unchecked_output_margin ? reserved - unchecked_output_margin : 0);
        while (ip < unchecked_end && op < unchecked_out_end) {
            if (!decode_pair_unchecked(ip, op, block) || !decode_pair_unchecked(ip, op, block)) break;
        }
        pos = static_cast<i32>(ip - in);
        decoded = static_cast<i32>(op - block);
        if (pos >= end) break;

        // One token of any kind, checked, near either end or when a pair
        // does not apply.
        u32 code = in[pos++];
        if (code - 1 < code_run - 1) {
            i32 n = static_cast<i32>(code);
            if (n > end - pos) fail_truncated(block, static_cast<i64>(pos) + n, end);
            if (n > reserved - decoded) {
                grow(output, decoded, n);
                block = output.block;
                reserved = output.reserved;
            }
            memcpy(block + decoded, in + pos, static_cast<size_t>(n));
            decoded += n;
            pos += n;
        } else if (code <= code_run) {
            if (end - pos < 2) fail_truncated(block, static_cast<i64>(pos) + 2, end);
            bool run = code == code_run;
            i32 n = run ? in[pos + 1] + run_min : static_cast<i32>(load_le16(in + pos));
            pos += 2;
            if (!run && n > end - pos) fail_truncated(block, static_cast<i64>(pos) + n, end);
            if (n > reserved - decoded) {
                grow(output, decoded, n);
                block = output.block;
                reserved = output.reserved;
            }
            if (run) {
                fill_in_steps(block + decoded, in[pos - 2], n);
            } else {
                memcpy(block + decoded, in + pos, static_cast<size_t>(n));
                pos += n;
            }
            decoded += n;
        } else {
            if (end - pos < 2) fail_truncated(block, static_cast<i64>(pos) + 2, end);
            i32 n = match_code_base - static_cast<i32>(code);
            i32 distance = static_cast<i32>(load_le16(in + pos)) + distance_bias;
            if (distance > decoded || n > distance) fail_overlap(block, decoded, distance, static_cast<int8_t>(code));
            if (n > reserved - decoded) {
                grow(output, decoded, n);
                block = output.block;
                reserved = output.reserved;
            }
            u8* out = block + decoded;
            copy_in_steps(out, out - distance, n);
            decoded += n;
            pos += 2;
        }
    }

    if (decoded == 0) {
        core_free(output.block);
        output.block = nullptr;
    } else if (decoded < output.reserved + output_slack - shrink_threshold) {
        reserve(output, decoded);
    }
    *data = output.block;
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
