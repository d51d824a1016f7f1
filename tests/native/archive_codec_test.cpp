// The block codec: checksum and scrambling vectors, every token kind of the
// LZ block at its limits, the exact fatal reports of corrupt blocks, and
// random valid token streams checked against the bytes they were built from.
#include "archive/codec.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using ::testing::ExitedWithCode;
typedef std::vector<u8> Bytes;

const Bytes magic = {0xA0, 0x2B, 0xC7, 0x9E};

Bytes block_of(const Bytes& tokens) {
    Bytes block = magic;
    block.insert(block.end(), tokens.begin(), tokens.end());
    return block;
}

Bytes bytes_of(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Decodes a copy of the block (the decoder takes a heap block's address) and
// returns the decoded bytes; the test fails when the block is refused.
Bytes decode(const Bytes& block) {
    u8* data = static_cast<u8*>(core_allocate(block.size()));
    memcpy(data, block.data(), block.size());
    u8* input = data;
    i32 length = static_cast<i32>(block.size());
    bool decoded = decode_block(&data, &length);
    core_free(input);
    EXPECT_TRUE(decoded);
    if (!decoded) return Bytes();
    Bytes out(data, data + length);
    if (length == 0) {
        EXPECT_EQ(data, nullptr);
    }
    core_free(data);
    return out;
}

TEST(BlockChecksum, MatchesTheKnownSums) {
    struct Case {
        Bytes bytes;
        u32 sum;
    };
    const Case cases[] = {
        {{}, 0x79E2BC9D},
        {{0x61, 0x62, 0x63}, 0x79E2BDC6},
        {{0x61, 0x62, 0x63, 0x64}, 0xDE461F02},
        {{0x61, 0x62, 0x63, 0x64, 0xFF}, 0xDE461F02},
        {{0x80}, 0x79E2BC1E},
        // The word wraps around (adds -1); the tail bytes are signed: -122, 1.
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x01}, 0x79E2BC9Du - 1u - 122u + 1u + 6u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(block_checksum(c.bytes.data(), static_cast<i32>(c.bytes.size())), c.sum)
            << c.bytes.size() << " bytes";
    }
    EXPECT_EQ(block_checksum(nullptr, 5), 0x79E2BC9Du);
    const u8 byte = 1;
    EXPECT_EQ(block_checksum(&byte, -3), 0x79E2BC9Du);
}

TEST(BlockChecksum, BufferChecksumIgnoresThePosition) {
    ByteBuffer buffer;
    buffer.append_bytes("abcd", 4);
    EXPECT_EQ(buffer_checksum(buffer), 0xDE461F02u);
    buffer.set_position(1);
    EXPECT_EQ(buffer_checksum(buffer), 0xDE461F02u);
    ByteBuffer empty;
    EXPECT_EQ(buffer_checksum(empty), 0x79E2BC9Du);
}

TEST(Scrambling, DwordKeyUsesItsBytesLeastSignificantFirstAlsoInTheTail) {
    ByteBuffer buffer;
    const u8 plain[7] = {0, 0, 0, 0, 0xF0, 0xF0, 0xF0};
    buffer.append_bytes(plain, 7);
    xor_scramble_dword(buffer, 0x44332211u);
    const u8 scrambled[7] = {0x11, 0x22, 0x33, 0x44, 0xE1, 0xD2, 0xC3};
    EXPECT_EQ(memcmp(buffer.data(), scrambled, 7), 0);
    xor_scramble_dword(buffer, 0x44332211u);
    EXPECT_EQ(memcmp(buffer.data(), plain, 7), 0);
}

TEST(Scrambling, ByteKeyXorsEveryByte) {
    ByteBuffer buffer;
    buffer.append_bytes("\x01\x02\x03\x04\x05", 5);
    xor_scramble_byte(buffer, 0x0F);
    EXPECT_EQ(memcmp(buffer.data(), "\x0E\x0D\x0C\x0B\x0A", 5), 0);
    xor_scramble_byte(buffer, 0x0F);
    EXPECT_EQ(memcmp(buffer.data(), "\x01\x02\x03\x04\x05", 5), 0);
}

TEST(Scrambling, EmptyBuffersStayEmpty) {
    ByteBuffer buffer;
    xor_scramble_dword(buffer, 0xFFFFFFFFu);
    xor_scramble_byte(buffer, 0xFF);
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.size(), 0);
}

TEST(DecodeBlock, DecodesEveryTokenKind) {
    Bytes digits = bytes_of("12345");
    Bytes long_literal = {0x00, 0x83, 0x00};
    Bytes x131(131, 'x');
    for (int i = 0; i < 131; ++i) x131[i] = static_cast<u8>(i);
    struct Case {
        const char* name;
        Bytes tokens;
        Bytes decoded;
    };
    std::vector<Case> cases = {
        {"short literal", {0x03, 0x41, 0x42, 0x43}, bytes_of("ABC")},
        {"shortest run", {0x01, 0x41, 0x80, 0x42, 0x00}, bytes_of("ABBBBBB")},
        {"longest run", {0x80, 0x07, 0xFF}, Bytes(261, 0x07)},
        {"empty long literal", {0x00, 0x00, 0x00}, {}},
        {"long literal", {0x00, 0x03, 0x00, 'x', 'y', 'z', 0x00, 0x00, 0x00}, bytes_of("xyz")},
        {"back-reference at its length", {0x05, '1', '2', '3', '4', '5', 0xFF, 0x01, 0x00},
         bytes_of("1234512345")},
        {"shortest back-reference far back",
         {0x07, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 0xFF, 0x03, 0x00}, bytes_of("abcdefgabcde")},
        {"a full short literal", {}, {}},
    };
    cases.back().tokens.push_back(0x7F);
    for (int i = 0; i < 127; ++i) cases.back().tokens.push_back(static_cast<u8>(i + 1));
    cases.back().decoded.assign(cases.back().tokens.begin() + 1, cases.back().tokens.end());
    Case longest = {"longest back-reference", long_literal, x131};
    longest.tokens.insert(longest.tokens.end(), x131.begin(), x131.end());
    longest.tokens.insert(longest.tokens.end(), {0x81, 0x7F, 0x00});
    longest.decoded.insert(longest.decoded.end(), x131.begin(), x131.end());
    cases.push_back(longest);
    for (const Case& c : cases) EXPECT_EQ(decode(block_of(c.tokens)), c.decoded) << c.name;
}

TEST(DecodeBlock, ReachesTheFarthestDistance) {
    // 65,539 bytes of literals, then five bytes copied from the very start.
    Bytes tokens = {0x00, 0xFF, 0xFF};
    Bytes expected;
    std::mt19937 random(7);
    for (int i = 0; i < 65535 + 4; ++i) expected.push_back(static_cast<u8>(random()));
    tokens.insert(tokens.end(), expected.begin(), expected.begin() + 65535);
    tokens.push_back(0x04);
    tokens.insert(tokens.end(), expected.begin() + 65535, expected.end());
    tokens.insert(tokens.end(), {0xFF, 0xFF, 0xFF});
    expected.insert(expected.end(), expected.begin(), expected.begin() + 5);
    EXPECT_EQ(decode(block_of(tokens)), expected);
}

TEST(DecodeBlock, GrowsFarBeyondTwiceTheInput) {
    Bytes tokens;
    Bytes expected;
    for (int i = 0; i < 3000; ++i) {
        tokens.insert(tokens.end(), {0x80, static_cast<u8>(i), 0xFF});
        expected.insert(expected.end(), 261, static_cast<u8>(i));
        if (i % 7 == 0) {
            tokens.insert(tokens.end(), {0x81, 0x7F, 0x00});
            expected.insert(expected.end(), expected.end() - 131, expected.end());
        }
    }
    EXPECT_EQ(decode(block_of(tokens)), expected);
}

// The output is allocated at its exact length plus a small slack, and most
// tokens are copied in whole steps that may run past their last byte. Here
// long back-references and the longest literal and back-reference pairs end
// the output at every distance from its end that matters: a step that ran
// past the slack writes behind the block, which AddressSanitizer reports.
TEST(DecodeBlock, TheLongestPairsAtTheEndOfTheOutputStayInside) {
    std::mt19937 random(131);
    Bytes noise(400);
    for (u8& b : noise) b = static_cast<u8>(random());
    for (int lead = 131; lead < 131 + 262; lead += 9) {
        for (int matches = 0; matches < 16; ++matches) {
            Bytes tokens = {0x00, static_cast<u8>(lead), static_cast<u8>(lead >> 8)};
            tokens.insert(tokens.end(), noise.begin(), noise.begin() + lead);
            Bytes expected(noise.begin(), noise.begin() + lead);
            auto copy_back = [&]() {
                tokens.insert(tokens.end(), {0x81, 131 - 4, 0x00});
                expected.insert(expected.end(), expected.end() - 131, expected.end());
            };
            for (int i = 0; i < matches; ++i) copy_back();
            for (int pair = 0; pair < 4; ++pair) {
                tokens.push_back(0x7F);
                tokens.insert(tokens.end(), noise.begin() + pair, noise.begin() + pair + 127);
                expected.insert(expected.end(), noise.begin() + pair, noise.begin() + pair + 127);
                copy_back();
            }
            // Enough input behind the pairs that they are copied in steps.
            tokens.insert(tokens.end(), {0x00, 0x2C, 0x01});
            tokens.insert(tokens.end(), noise.begin(), noise.begin() + 300);
            expected.insert(expected.end(), noise.begin(), noise.begin() + 300);
            ASSERT_EQ(decode(block_of(tokens)), expected) << lead << " literal bytes, " << matches << " back-references";
        }
    }
}

// A block that would decode beyond the 32-bit range is the out-of-memory
// report. Every token is checked before the output is allocated, so it is
// found without some gigabytes being asked for first.
TEST(DecodeBlock, ABlockBeyondTheRangeIsOutOfMemory) {
    Bytes tokens;
    const size_t runs = (size_t(1) << 31) / 261 + 1;
    tokens.reserve(3 * runs);
    for (size_t i = 0; i < runs; ++i) tokens.insert(tokens.end(), {0x80, 0x41, 0xFF});
    Bytes block = block_of(tokens);
    u8* data = block.data();
    i32 length = static_cast<i32>(block.size());
    EXPECT_EXIT(decode_block(&data, &length), ExitedWithCode(1), "^Out of memory\n$");
}

TEST(DecodeBlock, RefusesWhatIsNotABlock) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"five bytes", {0xA0, 0x2B, 0xC7, 0x9E, 0x03}},
        {"wrong magic", {0xA1, 0x2B, 0xC7, 0x9E, 0x03, 0x41, 0x42, 0x43}},
        {"magic backwards", {0x9E, 0xC7, 0x2B, 0xA0, 0x01, 0x41}},
    };
    for (const Case& c : cases) {
        Bytes copy = c.bytes;
        u8* data = copy.data();
        i32 length = static_cast<i32>(copy.size());
        EXPECT_FALSE(decode_block(&data, &length)) << c.name;
        EXPECT_EQ(data, copy.data()) << c.name;
        EXPECT_EQ(length, static_cast<i32>(c.bytes.size())) << c.name;
        EXPECT_EQ(copy, c.bytes) << c.name;
    }
    Bytes block = block_of({0x01, 0x41});
    u8* data = block.data();
    u8* null_data = nullptr;
    i32 length = 6;
    EXPECT_FALSE(decode_block(nullptr, &length));
    EXPECT_FALSE(decode_block(&data, nullptr));
    EXPECT_FALSE(decode_block(&null_data, &length));
    EXPECT_EQ(length, 6);
    EXPECT_EQ(decode(block), bytes_of("A"));
}

TEST(DecodeBlock, CorruptTokensEndTheProcessWithTheirReport) {
    struct Case {
        const char* name;
        Bytes tokens;
        const char* report;
    };
    const Case cases[] = {
        {"length beyond distance", {0x05, '1', '2', '3', '4', '5', 0xFF, 0x00, 0x00},
         "^Decompress error 1: 5 4 1\n$"},
        {"distance beyond the output", {0x01, 'A', 0xFF, 0x00, 0x00}, "^Decompress error 1: 1 4 1\n$"},
        {"nothing decoded yet", {0xFB, 0x01, 0x00}, "^Decompress error 1: 0 5 5\n$"},
        {"farthest distance on little output", {0x03, 'A', 'B', 'C', 0x81, 0xFF, 0xFF},
         "^Decompress error 1: 3 65539 127\n$"},
        {"short literal past the end", {0x03, 0x41, 0x42}, "^Decompress error 2 b=8 max=7\n$"},
        {"run without its count", {0x01, 0x41, 0x80, 0x42}, "^Decompress error 2 b=9 max=8\n$"},
        {"back-reference without its high byte", {0x05, '1', '2', '3', '4', '5', 0xFF, 0x01},
         "^Decompress error 2 b=13 max=12\n$"},
        {"long literal without its count", {0x00, 0x05}, "^Decompress error 2 b=7 max=6\n$"},
        {"long literal past the end", {0x00, 0x05, 0x00, 0x41}, "^Decompress error 2 b=12 max=8\n$"},
        {"overlap reported before a later truncation", {0x01, 'A', 0xFF, 0x00, 0x00, 0x7F},
         "^Decompress error 1: 1 4 1\n$"},
    };
    for (const Case& c : cases) {
        Bytes block = block_of(c.tokens);
        u8* data = block.data();
        i32 length = static_cast<i32>(block.size());
        EXPECT_EXIT(decode_block(&data, &length), ExitedWithCode(1), c.report) << c.name;
    }
}

// The same reports when the corrupt token lies deep inside a long block,
// far from both of its ends, behind a run of literal and back-reference pairs.
TEST(DecodeBlock, CorruptTokensDeepInsideALongBlockGiveTheSameReports) {
    Bytes prefix = {0x05, 'a', 'b', 'c', 'd', 'e'};
    for (int i = 0; i < 60; ++i) prefix.insert(prefix.end(), {0x03, 'x', 'y', 'z', 0xFF, 0x01, 0x00});
    // The tokens so far end at offset 430 and decode to 485 bytes.
    Bytes tail;
    for (int i = 0; i < 200; ++i) tail.insert(tail.end(), {0xFF, 0x01, 0x00});
    struct Case {
        const char* name;
        Bytes corrupt;
        Bytes after;
        const char* report;
    };
    const Case cases[] = {
        {"back-reference longer than its distance", {0xFA, 0x01, 0x00}, tail,
         "^Decompress error 1: 485 5 6\n$"},
        {"back-reference longer than its distance after a literal", {0x02, 'p', 'q', 0xFA, 0x01, 0x00}, tail,
         "^Decompress error 1: 487 5 6\n$"},
        {"distance beyond the output", {0x81, 0xFF, 0xFF}, tail, "^Decompress error 1: 485 65539 127\n$"},
        {"short literal past the end after a long stream", tail, {0x7F, 'a'},
         "^Decompress error 2 b=1158 max=1032\n$"},
        {"long literal past the end after a long stream", tail, {0x00, 0x10, 0x00, 'a'},
         "^Decompress error 2 b=1049 max=1034\n$"},
    };
    for (const Case& c : cases) {
        Bytes tokens = prefix;
        tokens.insert(tokens.end(), c.corrupt.begin(), c.corrupt.end());
        tokens.insert(tokens.end(), c.after.begin(), c.after.end());
        Bytes block = block_of(tokens);
        u8* data = block.data();
        i32 length = static_cast<i32>(block.size());
        EXPECT_EXIT(decode_block(&data, &length), ExitedWithCode(1), c.report) << c.name;
    }
}

TEST(DecompressInPlace, LeavesTheDecodedBytesReadyToReadFromTheStart) {
    ByteBuffer buffer;
    Bytes block = block_of({0x05, '1', '2', '3', '4', '5', 0xFF, 0x01, 0x00});
    buffer.append_bytes(block.data(), static_cast<i32>(block.size()));
    EXPECT_TRUE(decompress_in_place(buffer));
    EXPECT_EQ(buffer.position(), 0);
    EXPECT_EQ(buffer.size(), 10);
    EXPECT_EQ(memcmp(buffer.data(), "1234512345", 10), 0);
}

TEST(DecompressInPlace, AnEmptyResultLeavesAnEmptyBuffer) {
    ByteBuffer buffer;
    Bytes block = block_of({0x00, 0x00, 0x00});
    buffer.append_bytes(block.data(), static_cast<i32>(block.size()));
    EXPECT_TRUE(decompress_in_place(buffer));
    EXPECT_EQ(buffer.size(), 0);
    EXPECT_EQ(buffer.position(), 0);
    EXPECT_TRUE(buffer.at_end());
}

TEST(DecompressInPlace, LeavesANonBlockUntouched) {
    ByteBuffer buffer;
    buffer.append_bytes("\xA0\x2B\xC7\x9F\x01\x41", 6);
    buffer.set_position(2);
    const u8* before = buffer.data();
    EXPECT_FALSE(decompress_in_place(buffer));
    EXPECT_EQ(buffer.data(), before);
    EXPECT_EQ(buffer.size(), 6);
    EXPECT_EQ(buffer.position(), 2);
    EXPECT_EQ(memcmp(buffer.data(), "\xA0\x2B\xC7\x9F\x01\x41", 6), 0);
}

// Builds random but valid token streams together with the bytes they stand
// for, so that every distance and length near the copy step is exercised.
TEST(DecodeBlock, RandomValidStreamsDecodeToTheirBytes) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round) {
        Bytes tokens;
        Bytes expected;
        int token_count = 1 + random() % 60;
        for (int t = 0; t < token_count; ++t) {
            int kind = random() % 4;
            i32 produced = static_cast<i32>(expected.size());
            if (kind == 3 && produced >= 5) {
                i32 distance = 5 + random() % (std::min<i32>(produced, 65539) - 4);
                i32 length = 5 + random() % (std::min<i32>(distance, 131) - 4);
                tokens.push_back(static_cast<u8>(260 - length));
                tokens.push_back(static_cast<u8>(distance - 4));
                tokens.push_back(static_cast<u8>((distance - 4) >> 8));
                Bytes copied(expected.end() - distance, expected.end() - distance + length);
                expected.insert(expected.end(), copied.begin(), copied.end());
            } else if (kind == 2) {
                u8 value = static_cast<u8>(random() % 3);
                u8 count = static_cast<u8>(random());
                tokens.insert(tokens.end(), {0x80, value, count});
                expected.insert(expected.end(), count + 6, value);
            } else {
                bool is_long = kind == 1;
                i32 count = is_long ? random() % 400 : 1 + random() % 127;
                if (is_long) tokens.insert(tokens.end(), {0x00, static_cast<u8>(count), static_cast<u8>(count >> 8)});
                else tokens.push_back(static_cast<u8>(count));
                for (i32 i = 0; i < count; ++i) {
                    u8 value = static_cast<u8>(random() % 4);
                    tokens.push_back(value);
                    expected.push_back(value);
                }
            }
        }
        ASSERT_EQ(decode(block_of(tokens)), expected) << "round " << round;
    }
}

}  // namespace
