// The best level: the cheapest token sequence for the longest matches.
//
// Every back-reference and every run costs 3 bytes whatever its length or
// distance, and literals cost their bytes plus 1 (up to 127) or 3 (up to
// 65,535) per token. So the cheapest sequence follows from the longest match
// at each position alone: any shorter length at the same distance is also a
// match. cost[t] is the fewest bytes that encode the first t bytes of a
// chunk; each token kind reaches t from a window of earlier positions, and
// each window's minimum is kept in a monotone queue. The match windows
// [s + 5, s + length(s)] end in non-decreasing order because the match the
// finder gives at s + 1 is at least one shorter than at s (it carries the
// previous one on), which is what lets a queue drop a dominated start for
// good. Inside a long match the finder gives that carried match rather than
// searching for a longer one, so the parse is cheapest for the matches found,
// a little above the true optimum.
//
// The input is parsed in chunks of 256 KiB: a chunk's arrays take some 19
// bytes a byte, so larger ones made a build's memory grow by tens of
// megabytes a thread for no gain in size. The match window still spans chunk
// borders, only a token cannot.
//
// Segments of a fixed size are parsed independently, on as many threads as
// there are cores: each has a match finder of its own that first reads the
// window before the segment (the farthest distance a match may reach back),
// so every match that the format allows is still found across segment
// borders. The segments are fixed by the input alone, so the block is the
// same whatever the number of threads.
#include "archive/block_format.h"
#include "builder/block_writer.h"
#include "builder/match_finder.h"
#include "builder/parsers.h"

#include <stdint.h>

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

namespace {

const int tree_depth = 256;
// Inside a match at least this long the finder does not search (except
// where a found match ends): the match one byte on stands for the longest.
// On Windows binaries and text it saves about a fifth of the time for 0.1%
// in size; 16 saves a tenth more but costs over 1% on some small inputs.
const int good_length = 32;

const int token_bits = 23;
static_assert((size_t(1) << token_bits) > best_chunk_size, "a chunk's token count must fit its bits");

// The cost of one token of the given size in bytes.
inline int64_t price(size_t bytes) { return (static_cast<int64_t>(bytes) << token_bits) + 1; }

enum TokenKind : u8 { kind_short_literal, kind_long_literal, kind_match, kind_run };

// A sliding-window minimum over positions pushed in increasing order.
class MonotoneQueue {
public:
    // capacity: a power of two above the window's width.
    explicit MonotoneQueue(size_t capacity) : items_(capacity), mask_(capacity - 1), head_(0), tail_(0), inner_(0) {}
    bool empty() const { return head_ == tail_; }
    void clear() { head_ = tail_ = inner_ = 0; }
    u32 front() const { return items_[head_ & mask_]; }
    void pop_front() { ++head_; }
    // The minimum over a narrower window that ends where this one does, the
    // positions from start on: the first position kept there, since every
    // one dropped was dropped for a later one that is no worse. Needs a
    // position at or after start; start must not decrease between calls.
    u32 front_from(size_t start) {
        if (inner_ < head_) inner_ = head_;
        if (inner_ >= tail_) inner_ = tail_ - 1;
        while (items_[inner_ & mask_] < start) ++inner_;
        return items_[inner_ & mask_];
    }
    // Pushes p, dropping the positions behind it whose key is no better.
    template <class Key>
    void push(u32 p, Key key) {
        while (!empty() && key(items_[(tail_ - 1) & mask_]) >= key(p)) --tail_;
        items_[tail_++ & mask_] = p;
    }

private:
    std::vector<u32> items_;
    size_t mask_;
    size_t head_;
    size_t tail_;
    size_t inner_;
};

size_t queue_size(size_t most) {
    size_t size = 256;
    while (size < most) size *= 2;
    return size;
}

class OptimalParser {
public:
    // Parses data[warm, size) with data[0, warm) as its window.
    OptimalParser(const u8* data, size_t size, size_t warm, size_t chunk_size)
        : x_(data),
          n_(size),
          warm_(warm),
          chunk_size_(std::min(chunk_size, best_chunk_size)),
          finder_(data, size, tree_depth, good_length),
          literals_(queue_size(std::min<size_t>(size, long_literal_max) + 2)),
          matches_(256),
          runs_queue_(512) {}

    std::vector<u8> run() {
        BlockWriter writer((n_ - warm_) / 2);
        for (size_t i = 0; i < warm_; ++i) finder_.skip(i);
        for (size_t begin = warm_; begin < n_; begin += chunk_size_) {
            size_t m = std::min(chunk_size_, n_ - begin);
            find_tokens(begin, m);
            choose(m);
            emit(writer, begin, m);
        }
        return writer.finish();
    }

private:
    void find_tokens(size_t begin, size_t m) {
        // Every entry is written below (a distance only with its length), so
        // the arrays are only sized, not cleared: clearing them showed in profiles.
        lengths_.resize(m);
        distances_.resize(m);
        runs_.resize(m);
        for (size_t i = 0; i < m; ++i) {
            FoundMatch found = finder_.find(begin + i);
            size_t length = std::min<size_t>(found.length, m - i);
            if (length >= static_cast<size_t>(match_min)) {
                lengths_[i] = static_cast<u8>(length);
                distances_[i] = static_cast<uint16_t>(found.distance - distance_bias);
            } else {
                lengths_[i] = 0;
            }
        }
        const u8* chunk = x_ + begin;
        runs_[m - 1] = 1;
        for (size_t i = m - 1; i-- > 0;) {
            runs_[i] = chunk[i] == chunk[i + 1] ? static_cast<uint16_t>(std::min(runs_[i + 1] + 1, run_max)) : 1;
        }
    }

    void choose(size_t m) {
        // Every t from 1 takes at least a literal, so only cost_[0] needs a value.
        cost_.resize(m + 1);
        from_.resize(m + 1);
        kind_.resize(m + 1);
        cost_[0] = 0;
        // The queues are worked on as locals: as members, every store to
        // cost_ (which may alias their indices) made them be read again.
        MonotoneQueue literals(std::move(literals_));
        MonotoneQueue matches(std::move(matches_));
        MonotoneQueue runs(std::move(runs_queue_));
        for (MonotoneQueue* queue : {&literals, &matches, &runs}) queue->clear();
        auto literal_key = [this](u32 j) { return cost_[j] - (static_cast<int64_t>(j) << token_bits); };
        auto cost_key = [this](u32 s) { return cost_[s]; };
        for (size_t t = 1; t <= m; ++t) {
            u32 j = static_cast<u32>(t - 1);
            literals.push(j, literal_key);
            while (literals.front() + long_literal_max < t) literals.pop_front();
            if (t >= static_cast<size_t>(match_min) && lengths_[t - match_min]) {
                matches.push(static_cast<u32>(t - match_min), cost_key);
            }
            while (!matches.empty() && matches.front() + lengths_[matches.front()] < t) matches.pop_front();
            if (t >= static_cast<size_t>(run_min) && runs_[t - run_min] >= run_min) {
                runs.push(static_cast<u32>(t - run_min), cost_key);
            }
            while (!runs.empty() && runs.front() + runs_[runs.front()] < t) runs.pop_front();

            int64_t best = INT64_MAX;
            consider(best, t, runs, kind_run, run_token_size);
            consider(best, t, matches, kind_match, match_token_size);
            u32 s = literals.front_from(t > short_literal_max ? t - short_literal_max : 0);
            take(best, t, literal_key(s) + price(t + short_literal_header), s, kind_short_literal);
            s = literals.front();
            take(best, t, literal_key(s) + price(t + long_literal_header), s, kind_long_literal);
            cost_[t] = best;
        }
        literals_ = std::move(literals);
        matches_ = std::move(matches);
        runs_queue_ = std::move(runs);
    }

    void consider(int64_t& best, size_t t, const MonotoneQueue& queue, TokenKind kind, int size) {
        if (!queue.empty()) take(best, t, cost_[queue.front()] + price(size), queue.front(), kind);
    }

    void take(int64_t& best, size_t t, int64_t cost, u32 from, TokenKind kind) {
        if (cost < best) {
            best = cost;
            from_[t] = from;
            kind_[t] = kind;
        }
    }

    void emit(BlockWriter& writer, size_t begin, size_t m) {
        std::vector<u32> ends;
        for (size_t t = m; t > 0; t = from_[t]) ends.push_back(static_cast<u32>(t));
        const u8* chunk = x_ + begin;
        for (size_t i = ends.size(); i-- > 0;) {
            u32 to = ends[i];
            u32 from = from_[to];
            int length = static_cast<int>(to - from);
            switch (kind_[to]) {
                case kind_short_literal: writer.short_literal(chunk + from, length); break;
                case kind_long_literal: writer.long_literal(chunk + from, length); break;
                case kind_match: writer.match(distances_[from] + distance_bias, length); break;
                case kind_run: writer.run(chunk[from], length); break;
            }
        }
    }

    const u8* x_;
    size_t n_;
    size_t warm_;
    size_t chunk_size_;
    MatchFinder finder_;
    std::vector<u8> lengths_;
    std::vector<uint16_t> distances_;
    std::vector<uint16_t> runs_;
    // Bytes in the high bits, tokens in the low ones: of two parses of one
    // size the one with fewer tokens wins, and it decodes faster.
    std::vector<int64_t> cost_;
    std::vector<u32> from_;
    std::vector<TokenKind> kind_;
    // Sized for their windows: 65,535 (and 127 inside it), 131 and 261
    // positions.
    MonotoneQueue literals_;
    MonotoneQueue matches_;
    MonotoneQueue runs_queue_;
};

}  // namespace

std::vector<u8> compress_best(const u8* data, size_t length, size_t chunk_size, size_t segment_size,
                              unsigned threads, std::atomic<size_t>* done) {
    if (segment_size == 0) segment_size = best_segment_size;
    size_t segments = length == 0 ? 1 : (length + segment_size - 1) / segment_size;
    std::vector<std::vector<u8>> blocks(segments);
    std::vector<std::exception_ptr> failures(segments);
    std::atomic<size_t> next(0);
    // Segments are joined in order as soon as they and all before them are
    // parsed, so only the few in flight exist beside the joined block. That
    // block is reserved once at the size of storing everything as literals,
    // which no parse exceeds; the pages it does not fill are never touched.
    size_t chunks = segments * ((segment_size + chunk_size - 1) / chunk_size + 1);
    std::vector<u8> block;
    block.reserve(length + length / long_literal_max * long_literal_header + chunks * long_literal_header +
                  block_magic_size);
    std::mutex joining;
    size_t joined = 0;
    auto join_ready = [&] {
        for (; joined < segments && !blocks[joined].empty(); ++joined) {
            block.insert(block.end(), blocks[joined].begin() + (joined ? block_magic_size : 0), blocks[joined].end());
            std::vector<u8>().swap(blocks[joined]);
        }
    };
    auto work = [&] {
        for (size_t k; (k = next++) < segments;) {
            size_t begin = k * segment_size;
            size_t end = std::min(length, begin + segment_size);
            size_t warm = std::min<size_t>(begin, distance_max);
            try {
                std::vector<u8> parsed = OptimalParser(data + begin - warm, end - begin + warm, warm, chunk_size).run();
                std::lock_guard<std::mutex> lock(joining);
                blocks[k] = std::move(parsed);
                join_ready();
            } catch (...) {
                failures[k] = std::current_exception();
            }
            if (done) *done += end - begin;
        }
    };
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < std::min<size_t>(threads, segments); ++t) workers.emplace_back(work);
    work();
    for (std::thread& worker : workers) worker.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
    return block;
}
