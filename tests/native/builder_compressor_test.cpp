// The compressor against the installer's decoder: every input of a table and
// a stream of random structured inputs must come back byte for byte from
// decode_block, never cost more than its stored form, and at the best level
// cost no less than the exhaustive reference finds and at most 1% more. The
// best level's match finder is checked on its own against a brute-force
// search.
#include "archive/codec.h"
#include "archive/block_format.h"
#include "builder/compressor.h"
#include "builder/match_finder.h"
#include "builder/parsers.h"
#include "builder/reference_parser.h"

#include <gtest/gtest.h>
#include <string.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

typedef std::vector<u8> Bytes;

const CompressionLevel levels[] = {CompressionLevel::fast, CompressionLevel::best};

const char* name_of(CompressionLevel level) { return level == CompressionLevel::fast ? "fast" : "best"; }

Bytes decode(const Bytes& block) {
    u8* data = const_cast<u8*>(block.data());
    i32 length = static_cast<i32>(block.size());
    EXPECT_TRUE(decode_block(&data, &length));
    if (length == 0) return Bytes();
    Bytes out(data, data + length);
    core_free(data);
    return out;
}

Bytes random_bytes(size_t n, u32 seed) {
    std::mt19937 random(seed);
    Bytes out(n);
    for (u8& b : out) b = static_cast<u8>(random());
    return out;
}

Bytes read_file(const std::string& path, size_t most) {
    std::ifstream file(path, std::ios::binary);
    Bytes out((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (out.size() > most) out.resize(most);
    return out;
}

const char* const wine_dll = "/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll";

Bytes english_text(size_t n) {
    const char* words[] = {"the ", "installer ", "archive ", "copies ", "files ", "into ", "a ", "directory ",
                           "and ", "registers ", "its ", "shortcuts.\n", "Uninstall ", "removes ", "them ", "again, "};
    std::mt19937 random(3);
    Bytes out;
    while (out.size() < n) {
        const char* word = words[random() % 16];
        out.insert(out.end(), word, word + strlen(word));
    }
    out.resize(n);
    return out;
}

Bytes repeated(const Bytes& unit, size_t n) {
    Bytes out;
    while (out.size() < n) out.insert(out.end(), unit.begin(), unit.end());
    out.resize(n);
    return out;
}

// A run of the given length between two different bytes, so that it stands
// alone.
Bytes run_between(size_t length) {
    Bytes out = {'<'};
    out.insert(out.end(), length, 'r');
    out.push_back('>');
    return out;
}

struct Input {
    std::string name;
    Bytes bytes;
};

std::vector<Input> table_of_inputs() {
    std::vector<Input> inputs = {
        {"empty", {}},
        {"one byte", {0x42}},
        {"incompressible 100 KiB", random_bytes(100000, 1)},
        {"text", english_text(50000)},
        {"period 4", repeated({'a', 'b', 'c', 'd'}, 10000)},
        {"period 5", repeated({'a', 'b', 'c', 'd', 'e'}, 10000)},
        {"period 2", repeated({0x00, 0xFF}, 10000)},
        {"period 130", repeated(random_bytes(130, 2), 10000)},
        {"period 131", repeated(random_bytes(131, 3), 10000)},
        {"records of 12 bytes", repeated({1, 0, 0, 0, 0x10, 0x20, 0, 0, 0, 0, 0, 0x80}, 30000)},
    };
    for (size_t length : {1, 4, 5, 6, 7, 11, 12, 255, 260, 261, 262, 263, 266, 267, 522, 523, 1000}) {
        inputs.push_back({"run of " + std::to_string(length), run_between(length)});
    }
    // A block repeated exactly 4 bytes later (after an unrelated prefix) and
    // exactly 65,539 bytes later, the farthest reach.
    Bytes near = random_bytes(64, 4);
    Bytes four = random_bytes(100, 5);
    four.insert(four.end(), {'w', 'x', 'y', 'z', 'w', 'x', 'y', 'z', 'w', 'x', 'y', 'z'});
    four.insert(four.end(), near.begin(), near.end());
    inputs.push_back({"repeat at distance 4", four});
    Bytes far = random_bytes(65539, 6);
    far.insert(far.end(), far.begin(), far.begin() + 1000);
    inputs.push_back({"repeat at distance 65539", far});
    Bytes beyond = random_bytes(65540, 7);
    beyond.insert(beyond.end(), beyond.begin(), beyond.begin() + 1000);
    inputs.push_back({"repeat at distance 65540", beyond});
    Bytes mixed = english_text(200000);
    Bytes noise = random_bytes(100000, 8);
    mixed.insert(mixed.begin() + 70000, noise.begin(), noise.end());
    mixed.insert(mixed.end(), 5000, 0);
    mixed.insert(mixed.end(), mixed.begin() + 1000, mixed.begin() + 90000);
    inputs.push_back({"more than 64 KiB of text, noise and zeros", mixed});
    return inputs;
}

// The best level skips searches inside long matches, which may cost a
// little over the optimum; never less, which only a wrong block could.
void expect_near_optimum(size_t best, size_t reference, const std::string& name) {
    EXPECT_GE(best, reference) << name;
    EXPECT_LE(best, reference + reference / 100) << name;
}

void expect_round_trip(const Bytes& input, CompressionLevel level, const std::string& name) {
    Bytes block = compress_block(input.data(), input.size(), level);
    EXPECT_LE(block.size(), stored_block_size(input.size())) << name << " at " << name_of(level);
    EXPECT_TRUE(decode(block) == input) << name << " at " << name_of(level);
}

TEST(Compressor, EveryInputOfTheTableComesBackAtEveryLevel) {
    for (const Input& input : table_of_inputs()) {
        for (CompressionLevel level : levels) expect_round_trip(input.bytes, level, input.name);
    }
}

// Set-up installs Wine, so a missing DLL is a broken machine, not a reason
// to test less.
TEST(Compressor, ARealWindowsBinaryComesBack) {
    Bytes dll = read_file(wine_dll, 1u << 20);
    ASSERT_FALSE(dll.empty()) << wine_dll << " is missing; tools/setup-debian.sh installs it";
    for (CompressionLevel level : levels) {
        expect_round_trip(dll, level, "kernel32.dll");
        EXPECT_LT(compress_block(dll.data(), dll.size(), level).size(), dll.size() * 7 / 10) << name_of(level);
    }
}

TEST(Compressor, TheBestLevelParsesAcrossChunkBorders) {
    // Matches, runs and long literals that would straddle the borders of
    // chunks of 10,000 bytes, with matches reaching back over them.
    Bytes input = english_text(30000);
    Bytes noise = random_bytes(25000, 9);
    input.insert(input.begin() + 19000, noise.begin(), noise.end());
    input.insert(input.begin() + 9990, 300, 0);
    input.insert(input.end(), input.end() - 50000, input.end());
    for (size_t chunk : {size_t(10000), size_t(131), size_t(6), size_t(1)}) {
        Bytes block = compress_best(input.data(), input.size(), chunk);
        EXPECT_TRUE(decode(block) == input) << "chunks of " << chunk;
    }
    size_t whole = compress_best(input.data(), input.size()).size();
    EXPECT_LT(compress_best(input.data(), input.size(), 10000).size(), whole + whole / 200);
}

// Segments are parsed on threads of their own, each reading the window
// before it first: the block must not depend on the number of threads, and
// matches that reach back across a segment's start are still found.
TEST(Compressor, TheBestLevelGivesTheSameBlockOnAnyNumberOfThreads) {
    Bytes input = english_text(120000);
    Bytes noise = random_bytes(40000, 5);
    input.insert(input.begin() + 50000, noise.begin(), noise.end());
    // A copy of the noise 60,000 bytes on: only a finder that saw the window
    // before its segment can reach it.
    input.insert(input.end(), noise.begin(), noise.end());
    const size_t segment = 30000;
    Bytes one = compress_best(input.data(), input.size(), 10000, segment, 1);
    EXPECT_TRUE(decode(one) == input);
    for (unsigned threads : {2u, 3u, 8u}) {
        EXPECT_TRUE(compress_best(input.data(), input.size(), 10000, segment, threads) == one) << threads << " threads";
    }
    size_t whole = compress_best(input.data(), input.size(), best_chunk_size, input.size(), 1).size();
    EXPECT_LT(one.size(), whole + whole / 200);
    // The noise's copy costs matches, not 40,000 literals.
    EXPECT_LT(one.size(), whole + 1000);
}

TEST(Compressor, EmptyInputIsTheEmptyLongLiteral) {
    for (CompressionLevel level : levels) {
        Bytes block = compress_block(nullptr, 0, level);
        EXPECT_EQ(block, (Bytes{0xA0, 0x2B, 0xC7, 0x9E, 0x00, 0x00, 0x00})) << name_of(level);
    }
}

TEST(Compressor, IncompressibleInputCostsItsStoredSize) {
    struct Case {
        size_t length;
        size_t block_size;
    };
    // The magic, then one header per 127 bytes up to 254, then 3 per 65,535.
    const Case cases[] = {{1, 6}, {127, 132}, {128, 134}, {254, 260}, {255, 262}, {65535, 65542},
                          {65536, 65544}, {200000, 200016}};
    for (const Case& c : cases) {
        EXPECT_EQ(stored_block_size(c.length), c.block_size) << c.length;
        Bytes input = random_bytes(c.length, static_cast<u32>(c.length));
        for (CompressionLevel level : levels) {
            EXPECT_EQ(compress_block(input.data(), input.size(), level).size(), c.block_size)
                << c.length << " bytes at " << name_of(level);
        }
        Bytes stored = store_block(input.data(), input.size());
        EXPECT_EQ(stored.size(), c.block_size);
        EXPECT_TRUE(decode(stored) == input);
    }
}

// Token kinds in a block, by walking its code bytes.
struct TokenCounts {
    int short_literals = 0, long_literals = 0, runs = 0, matches = 0;
};

TokenCounts count_tokens(const Bytes& block) {
    TokenCounts counts;
    for (size_t pos = 4; pos < block.size();) {
        u8 code = block[pos];
        if (code == 0) {
            ++counts.long_literals;
            pos += 3 + (block[pos + 1] | block[pos + 2] << 8);
        } else if (code < 0x80) {
            ++counts.short_literals;
            pos += 1 + code;
        } else {
            ++(code == 0x80 ? counts.runs : counts.matches);
            pos += 3;
        }
    }
    return counts;
}

TEST(Compressor, UsesEveryTokenKindWherePays) {
    Bytes input = random_bytes(40, 10);
    Bytes noise = random_bytes(1000, 11);
    input.insert(input.end(), 300, 0x55);
    input.insert(input.end(), noise.begin(), noise.end());
    input.insert(input.end(), input.begin(), input.begin() + 40);
    for (CompressionLevel level : levels) {
        TokenCounts counts = count_tokens(compress_block(input.data(), input.size(), level));
        EXPECT_GE(counts.short_literals, 1) << name_of(level);
        EXPECT_EQ(counts.long_literals, 1) << name_of(level);
        EXPECT_EQ(counts.runs, 2) << name_of(level);
        EXPECT_GE(counts.matches, 1) << name_of(level);
    }
}

TEST(Compressor, TheBestLevelCostsWhatTheExhaustiveSearchFinds) {
    std::vector<Input> inputs = {
        {"text", english_text(20000)},
        {"period 4", repeated({'a', 'b', 'c', 'd'}, 3000)},
        {"period 3 in noise", random_bytes(500, 12)},
        {"records", repeated({1, 0, 0, 0, 0x10, 0x20, 0, 0, 0, 0, 0, 0x80}, 5000)},
        {"runs", run_between(1000)},
    };
    Bytes period3 = repeated({'x', 'y', 'z'}, 400);
    inputs[2].bytes.insert(inputs[2].bytes.begin() + 250, period3.begin(), period3.end());
    Bytes dll = read_file(wine_dll, 48000);
    ASSERT_FALSE(dll.empty()) << wine_dll << " is missing; tools/setup-debian.sh installs it";
    inputs.push_back({"start of kernel32.dll", dll});
    for (const Input& input : inputs) {
        size_t best = compress_block(input.bytes.data(), input.bytes.size(), CompressionLevel::best).size();
        size_t fast = compress_block(input.bytes.data(), input.bytes.size(), CompressionLevel::fast).size();
        size_t reference = reference_block_size(input.bytes.data(), input.bytes.size());
        expect_near_optimum(best, reference, input.name);
        EXPECT_GE(fast, reference) << input.name;
    }
}

// Inputs built from the pieces compressors get wrong: copies from just
// outside and inside the reach, periods near the shortest match, runs near
// the token limits, and noise.
Bytes structured_input(std::mt19937& random, size_t most) {
    Bytes out;
    size_t target = 1 + random() % most;
    while (out.size() < target) {
        switch (random() % 5) {
            case 0: {
                size_t n = 1 + random() % 300;
                for (size_t i = 0; i < n; ++i) out.push_back(static_cast<u8>(random() % (random() % 2 ? 4 : 256)));
                break;
            }
            case 1: {
                if (out.empty()) break;
                const size_t distances[] = {4, 5, 6, 130, 131, 132, 65539, 65540};
                size_t distance = random() % 2 ? distances[random() % 8] : 1 + random() % out.size();
                if (distance > out.size()) distance = out.size();
                size_t n = 1 + random() % 200;
                for (size_t i = 0; i < n; ++i) out.push_back(out[out.size() - distance]);
                break;
            }
            case 2:
                out.insert(out.end(), 1 + random() % 600, static_cast<u8>(random() % 3));
                break;
            case 3: {
                Bytes unit = random_bytes(1 + random() % 8, random());
                Bytes piece = repeated(unit, 1 + random() % 400);
                out.insert(out.end(), piece.begin(), piece.end());
                break;
            }
            default: {
                Bytes text = english_text(1 + random() % 500);
                out.insert(out.end(), text.begin(), text.end());
            }
        }
    }
    out.resize(target);
    return out;
}

TEST(Compressor, RandomStructuredInputsComeBackAndTheBestIsOptimal) {
    std::mt19937 random(424242);
    for (int round = 0; round < 120; ++round) {
        Bytes input = structured_input(random, round % 20 == 0 ? 100000 : 3000);
        std::string name = "round " + std::to_string(round);
        for (CompressionLevel level : levels) expect_round_trip(input, level, name);
        if (input.size() <= 3000) {
            size_t best = compress_block(input.data(), input.size(), CompressionLevel::best).size();
            expect_near_optimum(best, reference_block_size(input.data(), input.size()), name);
        }
    }
}

// The longest match the format allows at s from distances up to
// max_distance, by trying every one.
FoundMatch longest_match(const Bytes& x, size_t s, size_t max_distance = distance_max) {
    FoundMatch best = {0, 0};
    for (size_t d = match_min; d <= s && d <= max_distance; ++d) {
        size_t cap = std::min({x.size() - s, d, static_cast<size_t>(match_max)});
        size_t length = 0;
        while (length < cap && x[s - d + length] == x[s + length]) ++length;
        if (length > best.length) best = {static_cast<u32>(length), static_cast<u32>(d)};
    }
    if (best.length < static_cast<u32>(match_min)) return {0, 0};
    return best;
}

// The most bytes, up to 131, that s shares with a position fewer than 131
// bytes back, whatever the distance allows.
size_t most_shared_nearby(const Bytes& x, size_t s) {
    size_t most = 0;
    for (size_t d = 1; d <= s && d < static_cast<size_t>(match_max); ++d) {
        size_t cap = std::min(x.size() - s, static_cast<size_t>(match_max));
        size_t length = 0;
        while (length < cap && x[s - d + length] == x[s + length]) ++length;
        most = std::max(most, length);
    }
    return most;
}

void expect_real_match(const Bytes& x, size_t s, FoundMatch f, const std::string& where) {
    if (f.length == 0) return;
    ASSERT_GE(f.length, static_cast<u32>(match_min)) << where;
    ASSERT_GE(f.distance, f.length) << where;
    ASSERT_LE(f.distance, static_cast<u32>(distance_max)) << where;
    ASSERT_LE(s + f.length, x.size()) << where;
    ASSERT_TRUE(std::equal(x.begin() + s, x.begin() + s + f.length, x.begin() + s - f.distance)) << where;
}

// Without skipping, the finder gives the longest match at every position,
// except where a position fewer than 131 bytes back shares as many bytes (the
// tree keeps only the newer of two equal strings, and there its distance caps
// the length); even then the near range alone is searched exhaustively. With
// skipping, every answer is still a real match, never shorter than the one
// before it less a byte (the parse relies on that), and the only other
// positions that fall short are inside a match of at least the skip length.
TEST(Compressor, TheMatchFinderGivesTheLongestOrALongEnoughMatch) {
    std::mt19937 random(77);
    const int good = 20;
    for (int round = 0; round < 6; ++round) {
        Bytes x = structured_input(random, 2500);
        std::string name = "round " + std::to_string(round);
        MatchFinder exact(x.data(), x.size(), 1 << 20, match_max);
        MatchFinder skipping(x.data(), x.size(), 1 << 20, good);
        FoundMatch before = {0, 0};
        size_t skipped_short = 0;
        for (size_t s = 0; s < x.size(); ++s) {
            std::string where = name + " at " + std::to_string(s);
            FoundMatch longest = longest_match(x, s);
            FoundMatch e = exact.find(s);
            expect_real_match(x, s, e, where);
            ASSERT_GE(e.length, longest_match(x, s, match_max - 1).length) << where;
            bool hidden = most_shared_nearby(x, s) >= longest.length;
            if (!hidden) {
                ASSERT_EQ(e.length, longest.length) << where;
            }
            FoundMatch f = skipping.find(s);
            expect_real_match(x, s, f, where);
            if (before.length > static_cast<u32>(match_min)) {
                ASSERT_GE(f.length + 1, before.length) << where;
            }
            if (f.length < longest.length) {
                if (before.length >= static_cast<u32>(good + 1)) {
                    ++skipped_short;
                } else {
                    EXPECT_TRUE(hidden) << where;
                }
            }
            before = f;
        }
        // Structured inputs have long copies: the skip must have been taken.
        if (x.size() > 1000) {
            EXPECT_GT(skipped_short, 0u) << name;
        }
    }
}

// Copies from across the tree's whole reach, in text whose few words give
// short matches everywhere, so that links kept as distances from their
// parents span the window and go stale as it moves on. The tree reaches
// 65,535 bytes back: the format's four farther distances lie beyond it.
TEST(Compressor, TheMatchFinderReachesAcrossTheWholeTree) {
    const size_t reach = 65535;
    const size_t distances[] = {131, 40000, reach - 1, reach, reach + 1, distance_max};
    Bytes x = english_text(120000);
    std::vector<size_t> copies;
    for (size_t d : distances) {
        size_t at = 70000 + 5000 * copies.size();
        for (size_t i = 0; i < 200; ++i) x[at + i] = x[at - d + i];
        copies.push_back(at);
    }
    MatchFinder finder(x.data(), x.size(), 1 << 20, match_max);
    size_t copy = 0;
    for (size_t s = 0; s < x.size(); ++s) {
        FoundMatch found = finder.find(s);
        bool at_copy = copy < copies.size() && s == copies[copy];
        if (!at_copy && (s < reach || s % 499 != 0)) continue;
        std::string where = "at " + std::to_string(s);
        expect_real_match(x, s, found, where);
        FoundMatch longest = longest_match(x, s, reach);
        if (most_shared_nearby(x, s) < longest.length) {
            EXPECT_EQ(found.length, longest.length) << where;
        }
        if (at_copy) {
            if (distances[copy] <= reach) {
                EXPECT_EQ(found.length, static_cast<u32>(match_max)) << where;
            } else {
                EXPECT_LT(found.length, static_cast<u32>(match_max)) << where;
            }
            ++copy;
        }
    }
    EXPECT_EQ(copy, copies.size());
}

TEST(Compressor, RefusesMoreThanOneBlockCanHold) {
    const u8 byte = 0;
    EXPECT_THROW(compress_block(&byte, max_block_input + 1, CompressionLevel::fast), std::length_error);
    EXPECT_THROW(store_block(&byte, max_block_input + 1), std::length_error);
}

}  // namespace
