// The match finder of the best level: for every position, in order, a long
// back-reference the format allows there and a distance that gives it.
//
// A back-reference may not overlap its destination, so its length is capped
// by its distance as well as by 131. Every position enters a binary tree of
// the strings before it (one tree per 5-byte hash, as in the classic
// binary-tree finders) in the same walk that searches it: the walk passes the
// strings next to it in sorted order, which share the most bytes with it, and
// keeps the longest match their distances allow. Where one of those strings
// was nearer than the bytes it shares (a period), a farther near one may give
// more: distances from 5 to 130 are few, and then all of them that share the
// first 5 bytes are tried, farthest first, because there the farthest is the
// longest a period allows.
//
// What that gives up: the tree reaches 65,535 bytes back, four short of the
// format's farthest distance, so that its links fit 16 bits. A tree node
// stands for every older string equal to it over the compared bytes, so a
// position fewer than 131 bytes back that shares as many bytes as the longest
// match can hide a farther one that a longer reference could use. In a run or
// a short period the first multiple of the period beyond the near range is
// tried for that reason, which leaves the rarer cases. Otherwise, with an
// unlimited tree depth and no skipped searches, the result is the longest.
// The depth limit trades a little for bounded time on pathological input,
// and skipping the searches inside a long match trades a little more (a
// shorter match than the longest, now and then) for time.
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
    // the tree). Above match_max - 1 every position is searched.
    MatchFinder(const u8* data, size_t size, int depth, int good_length);

    // Must be called for positions 0, 1, 2, ... in turn, either to find a
    // match or, where none is wanted, only to take the position in.
    FoundMatch find(size_t s);
    void skip(size_t s);

private:
    // searching false: only takes s in (capped is not used).
    template <bool searching>
    FoundMatch walk_tree(size_t s, size_t limit, u32 hash, bool* capped);
    FoundMatch search_near(size_t s, size_t limit, u32 at_least);
    FoundMatch beyond_period(size_t s, size_t limit, FoundMatch best);
    uint16_t* smaller(size_t p) { return &children_[2 * (p & cycle_mask_)]; }
    uint16_t* greater(size_t p) { return &children_[2 * (p & cycle_mask_) + 1]; }

    const u8* x_;
    size_t n_;
    int depth_;
    int good_length_;
    FoundMatch previous_;
    // Tree nodes are kept for a power of two of positions above the tree's
    // reach, or above the whole input when that is shorter.
    size_t cycle_mask_;
    std::vector<u32> tree_heads_;
    // The two children of a position side by side (one cache line per
    // visit), each as its distance back from the position.
    std::vector<uint16_t> children_;
    // Where a match found by a search ends, in a ring of positions ahead:
    // a parse goes on from there, so such a position is always searched.
    std::vector<u8> match_ends_;
};
