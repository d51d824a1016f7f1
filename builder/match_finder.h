// The match finder of the best level: for every position, in order, the
// longest back-reference the format allows there and a distance that gives it.
//
// A back-reference may not overlap its destination, so its length is capped
// by its distance as well as by 131. The finder therefore searches two ranges
// apart. Distances of 131 and more cap nothing; there a binary tree of the
// strings at least 131 bytes back (one tree per 4-byte hash, as in the
// classic binary-tree finders) is searched, and a position enters the tree
// only when it has fallen 131 bytes behind. Distances from 5 to 130 are few;
// all of them with the same 5-byte prefix are tried from a short hash chain,
// farthest first, because there the farthest is the longest a period allows.
// With an unlimited tree depth and no skipped searches the result is exact;
// the depth limit trades a little of that for bounded time on pathological
// input, and skipping the searches inside a long match trades a little more
// (a shorter match than the longest, now and then) for time.
#pragma once

#include "foundation/core.h"

#include <stddef.h>

#include <vector>

struct FoundMatch {
    u32 length;  // 0, or match_min to match_max
    u32 distance;
};

class MatchFinder {
public:
    // good_length: once the previous position's match, one byte shorter,
    // is at least this long, it stands for this position's without a search,
    // unless a match found by a search ends here (the position still enters
    // the tree and the near chain). Above
    // match_max - 1 every position is searched and the result is exact up
    // to the depth limit.
    MatchFinder(const u8* data, size_t size, int depth, int good_length);

    // Must be called for positions 0, 1, 2, ... in turn.
    FoundMatch find(size_t s);

private:
    void insert_into_tree(size_t q);
    FoundMatch search_tree(size_t s, size_t limit);
    FoundMatch search_near(size_t s, size_t limit, u32 at_least);
    void insert_near(size_t s);
    u32* smaller(size_t p) { return &children_[2 * (p & cycle_mask_)]; }
    u32* greater(size_t p) { return &children_[2 * (p & cycle_mask_) + 1]; }

    const u8* x_;
    size_t n_;
    int depth_;
    int good_length_;
    FoundMatch previous_;
    // Tree nodes are kept for a power of two of positions beyond the window,
    // or beyond the whole input when that is shorter.
    size_t cycle_mask_;
    std::vector<u32> tree_heads_;
    // The two children of a position side by side: one cache line per visit.
    std::vector<u32> children_;
    std::vector<u32> near_heads_;
    std::vector<u32> near_previous_;
    // Where a match found by a search ends, indexed like near_previous_:
    // a parse goes on from there, so such a position is always searched.
    std::vector<bool> match_ends_;
};
