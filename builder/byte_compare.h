// Unaligned little-endian loads and the common-prefix length of two places in
// one input, shared by the match finders. Both places lie inside the input;
// the later one decides how far an 8-byte load may reach.
#pragma once

#include "foundation/core.h"

#include <stddef.h>
#include <string.h>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "common_length counts equal bytes from the low end of a loaded word"
#endif

inline uint64_t load_u64(const u8* p) {
    uint64_t value;
    memcpy(&value, p, 8);
    return value;
}

inline u32 load_u32(const u8* p) {
    u32 value;
    memcpy(&value, p, 4);
    return value;
}

// Number of equal bytes at earlier and later, at most limit, where
// later + limit lies inside the input: no load needs a check against its end.
inline size_t common_length_within(const u8* earlier, const u8* later, size_t limit) {
    size_t n = 0;
    while (n + 8 <= limit) {
        uint64_t difference = load_u64(earlier + n) ^ load_u64(later + n);
        if (difference) return n + static_cast<size_t>(__builtin_ctzll(difference)) / 8;
        n += 8;
    }
    while (n < limit && earlier[n] == later[n]) ++n;
    return n;
}

// The same, counting no further than end.
inline size_t common_length(const u8* earlier, const u8* later, size_t limit, const u8* end) {
    size_t room = static_cast<size_t>(end - later);
    return common_length_within(earlier, later, limit < room ? limit : room);
}

// Length of the run of equal bytes that starts at p, at most limit.
inline size_t run_length_at(const u8* p, size_t limit) {
    size_t n = 1;
    while (n < limit && p[n] == p[0]) ++n;
    return limit == 0 ? 0 : n;
}
