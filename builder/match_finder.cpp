// One binary-tree walk per position that both searches and inserts, and an
// exhaustive look at the near window. Tree nodes live in cyclic arrays indexed
// by position; a position that has left the window is never followed, so its
// reused slot is never read as if it were still its own.
#include "builder/match_finder.h"

#include "archive/block_format.h"
#include "builder/byte_compare.h"

#include <algorithm>

namespace {

const u32 none = 0xFFFFFFFFu;
const int tree_hash_bits = 16;
// A child is kept as its distance from its parent, which is always newer, in
// 16 bits: a quarter of the cache that positions took. So the tree reaches
// 65,535 bytes back, four short of the format, and the largest distance
// stands for no child: from any later position, it lies out of reach.
const size_t tree_reach = 65535;
const uint16_t no_child = 0xFFFF;
const size_t window_cycle = size_t(1) << 16;
static_assert(window_cycle > tree_reach, "every node in reach must have a slot of its own");

inline uint16_t child_of(size_t parent, size_t child) {
    size_t distance = parent - child;
    return distance < no_child ? static_cast<uint16_t>(distance) : no_child;
}

size_t cycle_for(size_t size) {
    size_t cycle = 64;
    while (cycle < size && cycle < window_cycle) cycle *= 2;
    return cycle;
}
// Distances below this are the near range, where a tree match may be capped
// by its distance and every candidate is looked at.
const size_t far_distance = match_max;
// Where found matches end is kept this far ahead.
const size_t ends_ring = 256;
static_assert(ends_ring > static_cast<size_t>(match_max), "a match's end must fit the ring");

// The tree's hash: the high bits of a product of the shortest match's 5
// bytes; a 4-byte hash made the trees of common prefixes a step deeper on
// average.
u32 tree_slot(const u8* p) {
    uint64_t key = static_cast<uint64_t>(load_u32(p)) | static_cast<uint64_t>(p[4]) << 32;
    return static_cast<u32>((key * 0x9E3779B97F4A7C15ull) >> (64 - tree_hash_bits));
}

}  // namespace

MatchFinder::MatchFinder(const u8* data, size_t size, int depth, int good_length)
    : x_(data),
      n_(size),
      depth_(depth),
      good_length_(good_length),
      previous_{0, 0},
      cycle_mask_(cycle_for(size) - 1),
      tree_heads_(size_t(1) << tree_hash_bits, none),
      children_(2 * (cycle_mask_ + 1), no_child),
      match_ends_(ends_ring, 0) {}

FoundMatch MatchFinder::find(size_t s) {
    size_t limit = std::min<size_t>(match_max, n_ - s);
    // previous_ is written once and the result returned from registers,
    // not read back from the two fields just stored.
    if (limit < static_cast<size_t>(match_min)) {
        previous_ = {0, 0};
        return previous_;
    }
    // The previous match, one byte on, is still a match here: no search
    // returns less, and a long one makes the search not worth its time.
    FoundMatch best = {0, 0};
    if (previous_.length > static_cast<u32>(match_min)) best = {previous_.length - 1, previous_.distance};
    bool at_end = match_ends_[s & (ends_ring - 1)];
    match_ends_[s & (ends_ring - 1)] = 0;
    if (best.length < static_cast<u32>(good_length_) || at_end) {
        bool capped = false;
        FoundMatch far = walk_tree<true>(s, limit, tree_slot(x_ + s), &capped);
        if (far.length > best.length) best = far;
        // The walk passed the strings that share the most bytes with s, near
        // ones too; only where a distance cut one short (or the depth cut the
        // walk) can another near one be longer. And only a near match shorter
        // than its distance, at most 130, can win.
        if (capped && best.length < std::min(limit, far_distance - 1)) {
            FoundMatch near = search_near(s, limit, best.length);
            if (near.length > best.length) best = near;
            if (best.length != 0 && best.length == best.distance && best.length < limit) {
                best = beyond_period(s, limit, best);
            }
        }
        if (best.length != 0) match_ends_[(s + best.length) & (ends_ring - 1)] = 1;
    } else {
        // Later positions still search for this one.
        walk_tree<false>(s, limit, tree_slot(x_ + s), nullptr);
    }
    previous_ = best;
    return best;
}

// A match as long as its distance means that s starts a period of that
// length, where the tree holds only the newest string and so no farther copy.
// The first multiple of the period that is no longer capped by its distance
// is the likeliest to give the whole limit.
FoundMatch MatchFinder::beyond_period(size_t s, size_t limit, FoundMatch best) {
    size_t period = best.distance;
    size_t distance = (far_distance + period - 1) / period * period;
    if (distance > s || distance > static_cast<size_t>(distance_max)) return best;
    size_t length = common_length(x_ + s - distance, x_ + s, limit, x_ + n_);
    if (length > best.length) best = {static_cast<u32>(length), static_cast<u32>(distance)};
    return best;
}

void MatchFinder::skip(size_t s) {
    size_t limit = std::min<size_t>(match_max, n_ - s);
    match_ends_[s & (ends_ring - 1)] = 0;
    previous_ = {0, 0};
    if (limit < static_cast<size_t>(match_min)) return;
    walk_tree<false>(s, limit, tree_slot(x_ + s), nullptr);
}

// Makes s the root of its tree, splitting the old tree around it, and
// returns the longest match among the strings passed on the way. Those are
// the ones that share the most bytes with s, but a near one among them gives
// no more bytes than its distance: *capped tells whether one did, or whether
// the depth limit cut the walk.
template <bool searching>
FoundMatch MatchFinder::walk_tree(size_t s, size_t limit, u32 hash, bool* capped) {
    FoundMatch best = {0, 0};
    u32& head = tree_heads_[hash];
    size_t candidate = head;
    head = static_cast<u32>(s);
    // The open slots on either side and the positions they belong to.
    uint16_t* smaller_slot = smaller(s);
    uint16_t* greater_slot = greater(s);
    size_t smaller_owner = s;
    size_t greater_owner = s;
    size_t oldest = s > tree_reach ? s - tree_reach : 0;
    // Candidates lie in [oldest, s): no child, a child older than that, and
    // a distance past the start of the input all fall outside.
    size_t window = s - oldest;
    size_t smaller_length = 0;
    size_t greater_length = 0;
    for (int steps = depth_;; --steps) {
        if (candidate - oldest >= window || steps == 0) {
            if (searching && steps == 0) *capped = true;
            *smaller_slot = no_child;
            *greater_slot = no_child;
            break;
        }
        size_t known = std::min(smaller_length, greater_length);
        size_t length = known + common_length_within(x_ + candidate + known, x_ + s + known, limit - known);
        if (searching) {
            size_t distance = s - candidate;
            if (length > distance) *capped = true;
            if (length > best.length) {
                size_t usable = std::min(length, distance);
                if (usable > best.length && distance >= static_cast<size_t>(match_min)) {
                    best = {static_cast<u32>(usable), static_cast<u32>(distance)};
                }
            }
        }
        if (length == limit) {
            // Equal as far as the tree compares: s takes the candidate's
            // place, its children measured from their new parents.
            uint16_t below = *smaller(candidate);
            uint16_t above = *greater(candidate);
            *smaller_slot = below == no_child ? no_child : child_of(smaller_owner, candidate - below);
            *greater_slot = above == no_child ? no_child : child_of(greater_owner, candidate - above);
            break;
        }
        if (x_[candidate + length] < x_[s + length]) {
            *smaller_slot = static_cast<uint16_t>(smaller_owner - candidate);
            smaller_slot = greater(candidate);
            smaller_owner = candidate;
            candidate -= *smaller_slot;
            smaller_length = length;
        } else {
            *greater_slot = static_cast<uint16_t>(greater_owner - candidate);
            greater_slot = smaller(candidate);
            greater_owner = candidate;
            candidate -= *greater_slot;
            greater_length = length;
        }
    }
    if (best.length < static_cast<u32>(match_min)) best = {0, 0};
    return best;
}

// Needed at few positions, so the near range is read whole, farthest first
// (a candidate at distance d gives at most d bytes), rather than from a chain
// that cost a table access at every position.
FoundMatch MatchFinder::search_near(size_t s, size_t limit, u32 at_least) {
    FoundMatch best = {at_least, 0};
    u32 first = load_u32(x_ + s);
    u8 fifth = x_[s + 4];
    for (size_t distance = std::min(s, far_distance - 1); distance >= static_cast<size_t>(match_min); --distance) {
        if (distance <= best.length) break;
        const u8* q = x_ + s - distance;
        if (load_u32(q) != first || q[4] != fifth) continue;
        size_t length = common_length(q, x_ + s, std::min(limit, distance), x_ + n_);
        if (length > best.length) best = {static_cast<u32>(length), static_cast<u32>(distance)};
        if (length == distance) break;
    }
    if (best.distance == 0 || best.length < static_cast<u32>(match_min)) return {0, 0};
    return best;
}
