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
const int near_hash_bits = 14;
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
// by its distance and the near chain looks at every candidate.
const size_t far_distance = match_max;
const size_t near_ring = 256;
static_assert(near_ring > far_distance, "the near chain must span the near range");

// Both hashes are the high bits of one product of the shortest match's 5
// bytes: a 4-byte hash made the trees of common prefixes a step deeper on
// average.
struct Hashes {
    explicit Hashes(const u8* p)
        : mixed((static_cast<uint64_t>(load_u32(p)) | static_cast<uint64_t>(p[4]) << 32) * 0x9E3779B97F4A7C15ull) {}
    u32 tree_slot() const { return static_cast<u32>(mixed >> (64 - tree_hash_bits)); }
    u32 near_slot() const { return static_cast<u32>(mixed >> (64 - near_hash_bits)); }
    uint64_t mixed;
};

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
      near_heads_(size_t(1) << near_hash_bits, none),
      near_previous_(near_ring, none),
      match_ends_(near_ring, 0) {}

FoundMatch MatchFinder::find(size_t s) {
    size_t limit = std::min<size_t>(match_max, n_ - s);
    // previous_ is written once and the result returned from registers:
    // reading back the two fields just stored stalled every call.
    if (limit < static_cast<size_t>(match_min)) {
        previous_ = {0, 0};
        return previous_;
    }
    // The previous match, one byte on, is still a match here: no search
    // returns less, and a long one makes the search not worth its time.
    FoundMatch best = {0, 0};
    if (previous_.length > static_cast<u32>(match_min)) best = {previous_.length - 1, previous_.distance};
    Hashes hashes(x_ + s);
    bool at_end = match_ends_[s & (near_ring - 1)];
    match_ends_[s & (near_ring - 1)] = 0;
    if (best.length < static_cast<u32>(good_length_) || at_end) {
        bool capped = false;
        FoundMatch far = walk_tree<true>(s, limit, hashes.tree_slot(), &capped);
        if (far.length > best.length) best = far;
        // The walk passed the strings that share the most bytes with s, near
        // ones too; only where a distance cut one short (or the depth cut the
        // walk) can another near one be longer. And only a near match shorter
        // than its distance, at most 130, can win.
        if (capped && best.length < std::min(limit, far_distance - 1)) {
            FoundMatch near = search_near(s, limit, best.length, hashes.near_slot());
            if (near.length > best.length) best = near;
            if (best.length != 0 && best.length == best.distance && best.length < limit) {
                best = beyond_period(s, limit, best);
            }
        }
        if (best.length != 0) match_ends_[(s + best.length) & (near_ring - 1)] = 1;
    } else {
        // Later positions still search for this one.
        walk_tree<false>(s, limit, hashes.tree_slot(), nullptr);
    }
    insert_near(s, hashes.near_slot());
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
    match_ends_[s & (near_ring - 1)] = 0;
    previous_ = {0, 0};
    if (limit < static_cast<size_t>(match_min)) return;
    Hashes hashes(x_ + s);
    walk_tree<false>(s, limit, hashes.tree_slot(), nullptr);
    insert_near(s, hashes.near_slot());
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

FoundMatch MatchFinder::search_near(size_t s, size_t limit, u32 at_least, u32 hash) {
    size_t candidates[near_ring];
    size_t count = 0;
    for (size_t q = near_heads_[hash]; q != none && s - q < far_distance; q = near_previous_[q & (near_ring - 1)]) {
        if (s - q >= static_cast<size_t>(match_min)) candidates[count++] = q;
    }
    FoundMatch best = {at_least, 0};
    // The chain runs from the nearest; take it from the farthest, since a
    // candidate at distance d gives at most d bytes.
    while (count > 0) {
        size_t q = candidates[--count];
        size_t distance = s - q;
        if (distance <= best.length) break;
        size_t cap = std::min(limit, distance);
        size_t length = common_length(x_ + q, x_ + s, cap, x_ + n_);
        if (length > best.length) best = {static_cast<u32>(length), static_cast<u32>(distance)};
        if (length == distance) break;
    }
    if (best.distance == 0 || best.length < static_cast<u32>(match_min)) return {0, 0};
    return best;
}

void MatchFinder::insert_near(size_t s, u32 hash) {
    u32& head = near_heads_[hash];
    near_previous_[s & (near_ring - 1)] = head;
    head = static_cast<u32>(s);
}
