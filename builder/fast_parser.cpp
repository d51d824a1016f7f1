// The fast level: one pass, greedy with a one-step lazy look, over a hash
// table that remembers the last position of every 5-byte prefix.
//
// The table sees only the most recent candidate, which in periodic data (a
// table of equal 4-byte records, say) is one period back: too close for a
// back-reference, which may not overlap. The data from there on repeats with
// that period, so the same bytes also lie at the farthest multiple of the
// period that a back-reference can reach, and that is tried instead. Long
// stretches without a match are crossed in growing steps, which keeps
// incompressible input cheap.
#include "builder/block_writer.h"
#include "builder/byte_compare.h"
#include "builder/parsers.h"

namespace {

const int hash_bits = 16;
const uint64_t five_bytes = 0xFFFFFFFFFFull;
const uint64_t six_bytes = 0xFFFFFFFFFFFFull;

inline u32 hash5(uint64_t word) {
    return static_cast<u32>(((word & five_bytes) * 0x9E3779B97F4A7C15ull) >> (64 - hash_bits));
}

struct Match {
    size_t distance;
    size_t length;
};

class FastParser {
public:
    FastParser(const u8* data, size_t size) : x_(data), n_(size), table_(size_t(1) << hash_bits, 0) {}

    std::vector<u8> run() {
        // Room for the largest block it keeps, so the block is never copied
        // to grow; what it does not fill is never touched.
        BlockWriter writer(BlockWriter::literal_cost(n_));
        size_t literal_start = 0;
        size_t s = 0;
        // Every position up to here may load 8 bytes.
        size_t last = n_ >= 8 ? n_ - 8 : 0;
        while (n_ >= 8 && s <= last) {
            Match found = find(s);
            if (found.length < match_min && found.length < static_cast<size_t>(run_min)) {
                s += 1 + ((s - literal_start) >> 8);
                continue;
            }
            // One step of laziness: a clearly longer match one byte on wins.
            if (s + 1 <= last && found.length < static_cast<size_t>(match_max)) {
                Match next = find(s + 1);
                if (next.length > found.length + 1) {
                    ++s;
                    found = next;
                }
            }
            writer.literals(x_ + literal_start, s - literal_start);
            if (found.distance == 0) {
                writer.run(x_[s], static_cast<int>(found.length));
            } else {
                writer.match(static_cast<int>(found.distance), static_cast<int>(found.length));
            }
            size_t end = s + found.length;
            for (size_t p = end >= 2 ? end - 2 : 0; p < end && p <= last; ++p) remember(p);
            s = end;
            literal_start = s;
        }
        writer.literals(x_ + literal_start, n_ - literal_start);
        return writer.finish();
    }

private:
    void remember(size_t p) { table_[hash5(load_u64(x_ + p))] = static_cast<u32>(p + 1); }

    // The best token at s: a run (distance 0) or a back-reference, and the
    // position is entered in the table.
    Match find(size_t s) {
        uint64_t word = load_u64(x_ + s);
        Match best = {0, 0};
        if (((word ^ (0x0101010101010101ull * x_[s])) & six_bytes) == 0) {
            best.length = run_length_at(x_ + s, std::min<size_t>(run_max, n_ - s));
        }
        u32& slot = table_[hash5(word)];
        size_t candidate = slot;
        slot = static_cast<u32>(s + 1);
        if (candidate == 0) return best;
        size_t distance = s - (candidate - 1);
        if (distance > static_cast<size_t>(distance_max)) return best;
        if (((load_u64(x_ + candidate - 1) ^ word) & five_bytes) != 0) return best;
        Match match = match_at(s, distance);
        if (match.length > best.length) best = match;
        // Five equal bytes one to four back, or a match that its own distance
        // cut short: the bytes repeat with that period.
        bool periodic = distance < static_cast<size_t>(match_min) || match.length == distance;
        if (distance < static_cast<size_t>(match_max) && periodic) {
            size_t reach = std::min<size_t>(match_max, s);
            size_t period_multiple = distance * (reach / distance);
            if (period_multiple > distance) {
                Match periodic = match_at(s, period_multiple);
                if (periodic.length > best.length) best = periodic;
            }
        }
        return best;
    }

    Match match_at(size_t s, size_t distance) {
        if (distance < static_cast<size_t>(match_min) || distance > s) return {distance, 0};
        size_t limit = std::min<size_t>({static_cast<size_t>(match_max), distance, n_ - s});
        size_t length = common_length(x_ + s - distance, x_ + s, limit, x_ + n_);
        return {distance, length >= static_cast<size_t>(match_min) ? length : 0};
    }

    const u8* x_;
    size_t n_;
    std::vector<u32> table_;
};

}  // namespace

std::vector<u8> compress_fast(const u8* data, size_t length) { return FastParser(data, length).run(); }
