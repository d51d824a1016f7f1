// The exhaustive reference. Match lengths come from complete hash chains of
// 5-byte prefixes, walked to the end of the window unless a match of the
// greatest possible length turns up; the cost from each position to the end
// is the minimum over every token that starts there. Long literals reach up
// to 65,535 bytes ahead, so the minimum over those ends comes from a segment
// tree rather than a scan.
#include "builder/reference_parser.h"

#include "archive/block_format.h"
#include "builder/byte_compare.h"

#include <stdint.h>

#include <algorithm>
#include <vector>

namespace {

const u32 none = 0xFFFFFFFFu;
u32 hash5(const u8* p, int hash_bits) {
    uint64_t word = 0;
    for (int i = 0; i < 5; ++i) word |= static_cast<uint64_t>(p[i]) << (8 * i);
    return static_cast<u32>((word * 0x9E3779B97F4A7C15ull) >> (64 - hash_bits));
}

std::vector<int> longest_matches(const u8* x, size_t n) {
    std::vector<int> longest(n, 0);
    int hash_bits = 12;
    while (hash_bits < 22 && (size_t(1) << hash_bits) < n) ++hash_bits;
    std::vector<u32> heads(size_t(1) << hash_bits, none);
    std::vector<u32> previous(n, none);
    for (size_t s = 0; s + match_min <= n; ++s) {
        u32 h = hash5(x + s, hash_bits);
        size_t cap = std::min<size_t>(match_max, n - s);
        size_t best = 0;
        for (size_t q = heads[h]; q != none && best < cap; q = previous[q]) {
            size_t distance = s - q;
            if (distance > static_cast<size_t>(distance_max)) break;
            if (distance <= best || distance < static_cast<size_t>(match_min)) continue;
            size_t limit = std::min(cap, distance);
            if (x[q + best] != x[s + best]) continue;
            best = std::max(best, common_length(x + q, x + s, limit, x + n));
        }
        if (best >= static_cast<size_t>(match_min)) longest[s] = static_cast<int>(best);
        previous[s] = heads[h];
        heads[h] = static_cast<u32>(s);
    }
    return longest;
}

class MinimumTree {
public:
    explicit MinimumTree(size_t n) : size_(1) {
        while (size_ < n) size_ *= 2;
        nodes_.assign(2 * size_, INT64_MAX);
    }
    void set(size_t i, int64_t value) {
        i += size_;
        nodes_[i] = value;
        for (i /= 2; i > 0; i /= 2) nodes_[i] = std::min(nodes_[2 * i], nodes_[2 * i + 1]);
    }
    // Minimum over [low, high).
    int64_t minimum(size_t low, size_t high) const {
        int64_t result = INT64_MAX;
        for (low += size_, high += size_; low < high; low /= 2, high /= 2) {
            if (low & 1) result = std::min(result, nodes_[low++]);
            if (high & 1) result = std::min(result, nodes_[--high]);
        }
        return result;
    }

private:
    size_t size_;
    std::vector<int64_t> nodes_;
};

}  // namespace

size_t reference_block_size(const u8* x, size_t n) {
    if (n == 0) return block_magic_size + long_literal_header;
    std::vector<int> longest = longest_matches(x, n);
    std::vector<int64_t> cost(n + 1, 0);
    // Holds t + cost[t], so that a long literal from s to t costs
    // 3 + (t + cost[t]) - s.
    MinimumTree ends(n + 1);
    ends.set(n, static_cast<int64_t>(n));
    size_t run = 0;
    for (size_t s = n; s-- > 0;) {
        run = (s + 1 < n && x[s] == x[s + 1]) ? run + 1 : 1;
        int64_t best = INT64_MAX;
        size_t room = n - s;
        for (size_t k = 1; k <= std::min<size_t>(short_literal_max, room); ++k) {
            best = std::min(best, static_cast<int64_t>(k) + short_literal_header + cost[s + k]);
        }
        size_t far = std::min<size_t>(long_literal_max, room);
        best = std::min(best, ends.minimum(s + 1, s + far + 1) - static_cast<int64_t>(s) + long_literal_header);
        for (int length = match_min; length <= longest[s]; ++length) {
            best = std::min(best, match_token_size + cost[s + length]);
        }
        for (size_t length = run_min; length <= std::min<size_t>(run, run_max); ++length) {
            best = std::min(best, run_token_size + cost[s + length]);
        }
        cost[s] = best;
        ends.set(s, static_cast<int64_t>(s) + best);
    }
    return block_magic_size + static_cast<size_t>(cost[0]);
}
