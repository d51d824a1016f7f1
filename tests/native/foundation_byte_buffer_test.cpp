// ByteBuffer: the growth rule, appends, and reads that stay inside both the
// block and the caller's destination however far they run past the end.
#include "foundation/byte_buffer.h"
#include "foundation/string.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

using ::testing::ExitedWithCode;

// A buffer holding the given bytes with its position at 0.
void fill(ByteBuffer& buffer, const std::string& bytes) {
    buffer.append_bytes(bytes.data(), static_cast<i32>(bytes.size()));
    buffer.set_position(0);
}

std::string contents(const ByteBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size());
}

TEST(ByteBuffer, SizeFollowsTheSlackRuleStepByStep) {
    struct Step {
        i32 size;
        i32 capacity;
        bool moved;
    };
    const Step steps[] = {
        {100, 164, true}, {50, 164, false}, {164, 164, false}, {700, 764, true},
        {252, 764, false}, {200, 264, true}, {0, 0, true},
    };
    ByteBuffer buffer;
    for (const Step& step : steps) {
        const u8* before = buffer.data();
        buffer.set_size(step.size);
        EXPECT_EQ(buffer.size(), step.size) << "set_size(" << step.size << ")";
        EXPECT_EQ(buffer.capacity(), step.capacity) << "set_size(" << step.size << ")";
        if (!step.moved) {
            EXPECT_EQ(buffer.data(), before) << "set_size(" << step.size << ")";
        }
    }
    EXPECT_EQ(buffer.data(), nullptr);
}

TEST(ByteBuffer, GrowingKeepsTheContentsAndLeavesThePositionAlone) {
    ByteBuffer buffer;
    fill(buffer, "abcdef");
    buffer.set_position(2);
    buffer.set_size(1000);
    EXPECT_EQ(memcmp(buffer.data(), "abcdef", 6), 0);
    EXPECT_EQ(buffer.position(), 2);
}

TEST(ByteBuffer, NewAndClearedBuffersHoldNothing) {
    ByteBuffer sized(10);
    EXPECT_EQ(sized.size(), 10);
    EXPECT_EQ(sized.capacity(), 74);
    EXPECT_EQ(sized.position(), 0);
    sized.clear();
    EXPECT_EQ(sized.data(), nullptr);
    EXPECT_EQ(sized.size(), 0);
    EXPECT_EQ(sized.capacity(), 0);
    EXPECT_TRUE(sized.at_end());
    ByteBuffer negative(-5);
    EXPECT_EQ(negative.data(), nullptr);
}

TEST(ByteBuffer, EnsureSizeOnlyReallocatesBeyondTheCapacity) {
    ByteBuffer buffer(100);
    const u8* block = buffer.data();
    buffer.ensure_size(150);
    EXPECT_EQ(buffer.size(), 150);
    EXPECT_EQ(buffer.data(), block);
    buffer.ensure_size(20);
    EXPECT_EQ(buffer.size(), 150);
    buffer.ensure_size(165);
    EXPECT_EQ(buffer.size(), 165);
    EXPECT_EQ(buffer.capacity(), 229);
}

TEST(ByteBuffer, TruncateToPositionDropsWhatLiesBehind) {
    ByteBuffer buffer;
    fill(buffer, "abcdef");
    buffer.set_position(4);
    buffer.truncate_to_position();
    EXPECT_EQ(contents(buffer), "abcd");
    buffer.truncate_to_position();
    EXPECT_EQ(buffer.size(), 4);
}

TEST(ByteBuffer, SetPositionStaysWithinTheSize) {
    ByteBuffer buffer;
    fill(buffer, "abc");
    EXPECT_FALSE(buffer.set_position(-1));
    EXPECT_FALSE(buffer.set_position(4));
    EXPECT_EQ(buffer.position(), 0);
    EXPECT_TRUE(buffer.set_position(3));
    EXPECT_TRUE(buffer.at_end());
    EXPECT_TRUE(buffer.set_position(2));
    EXPECT_FALSE(buffer.at_end());
}

TEST(ByteBuffer, AppendsWriteAtThePositionAndPullTheSizeAlong) {
    ByteBuffer buffer;
    buffer.append_bytes("hello", 5);
    buffer.append_fill('!', 3);
    buffer.append_bytes("ignored", 0);
    buffer.append_fill('?', -2);
    EXPECT_EQ(contents(buffer), "hello!!!");
    EXPECT_EQ(buffer.position(), 8);
    buffer.set_position(1);
    buffer.append_bytes("EL", 2);
    EXPECT_EQ(contents(buffer), "hELlo!!!");
    EXPECT_EQ(buffer.position(), 3);
    u8* space = buffer.append_space(7);
    EXPECT_EQ(space, buffer.data() + 3);
    EXPECT_EQ(buffer.size(), 10);
}

TEST(ByteBuffer, AppendCopyAcceptsOnlySourcesBeforeThePosition) {
    struct Case {
        i32 position;
        i32 offset;
        i32 count;
        bool accepted;
        const char* result;
    };
    const Case cases[] = {
        {3, 0, 4, false, "abcdefgh"}, {4, 0, 4, true, "abcdabcd"}, {4, -1, 2, false, "abcdefgh"},
        {4, 1, 0, false, "abcdefgh"}, {4, 3, 2, false, "abcdefgh"}, {6, 2, 4, true, "abcdefcdef"},
        {2, 0, 1, true, "abadefgh"},  {4, 2147483647, 1, false, "abcdefgh"},
    };
    for (const Case& c : cases) {
        ByteBuffer buffer;
        fill(buffer, "abcdefgh");
        buffer.set_position(c.position);
        EXPECT_EQ(buffer.append_copy(c.offset, c.count), c.accepted)
            << "position " << c.position << " offset " << c.offset << " count " << c.count;
        EXPECT_EQ(contents(buffer), c.result) << "offset " << c.offset << " count " << c.count;
        EXPECT_EQ(buffer.position(), c.position + (c.accepted ? c.count : 0));
    }
}

TEST(ByteBuffer, AShortReadZeroFillsAndLeavesEveryLaterReadShort) {
    ByteBuffer buffer;
    fill(buffer, "\x11\x22\x33\x44\x55\x66");
    u8 word[4];
    EXPECT_TRUE(buffer.read(word, 4));
    EXPECT_EQ(buffer.position(), 4);
    // Canaries on both sides: nothing outside the n destination bytes moves.
    u8 guarded[8];
    memset(guarded, 0xEE, sizeof guarded);
    EXPECT_FALSE(buffer.read(guarded + 2, 4));
    const u8 first[8] = {0xEE, 0xEE, 0x55, 0x66, 0, 0, 0xEE, 0xEE};
    EXPECT_EQ(memcmp(guarded, first, 8), 0);
    EXPECT_EQ(buffer.position(), 8);
    memset(guarded, 0xEE, sizeof guarded);
    EXPECT_FALSE(buffer.read(guarded + 2, 4));
    const u8 second[8] = {0xEE, 0xEE, 0, 0, 0, 0, 0xEE, 0xEE};
    EXPECT_EQ(memcmp(guarded, second, 8), 0);
    EXPECT_EQ(buffer.position(), 12);
    EXPECT_TRUE(buffer.at_end());
}

TEST(ByteBuffer, ReadRejectsNullAndNegativeAndAcceptsNothing) {
    ByteBuffer buffer;
    fill(buffer, "abcd");
    u8 byte = 0;
    EXPECT_TRUE(buffer.read(nullptr, 0));
    EXPECT_FALSE(buffer.read(nullptr, 1));
    EXPECT_FALSE(buffer.read(&byte, -1));
    EXPECT_EQ(buffer.position(), 0);
    ByteBuffer empty;
    u8 word[4] = {1, 2, 3, 4};
    EXPECT_FALSE(empty.read(word, 4));
    EXPECT_EQ(memcmp(word, "\0\0\0\0", 4), 0);
}

TEST(ByteBuffer, AppendingBehindAShortReadZeroesTheGap) {
    ByteBuffer buffer;
    fill(buffer, "ab");
    u8 word[4];
    buffer.read(word, 4);
    buffer.append_bytes("z", 1);
    EXPECT_EQ(contents(buffer), std::string("ab\0\0z", 5));
}

TEST(ByteBuffer, ReadStringWalksNulTerminatedTexts) {
    ByteBuffer buffer;
    fill(buffer, std::string("ab\0c", 4));
    String text("old");
    EXPECT_TRUE(buffer.read_string(text));
    EXPECT_STREQ(text.text(), "ab");
    EXPECT_EQ(buffer.position(), 3);
    EXPECT_FALSE(buffer.read_string(text));
    EXPECT_STREQ(text.text(), "c");
    EXPECT_EQ(buffer.position(), 4);
    EXPECT_FALSE(buffer.read_string(text));
    EXPECT_TRUE(text.is_empty());
    EXPECT_EQ(buffer.position(), 4);
}

TEST(ByteBuffer, AnEmptyTextIsReadAsOneZeroByte) {
    ByteBuffer buffer;
    fill(buffer, std::string("\0x", 2));
    String text("old");
    EXPECT_TRUE(buffer.read_string(text));
    EXPECT_TRUE(text.is_empty());
    EXPECT_EQ(buffer.position(), 1);
}

TEST(ByteBuffer, SkipStringMovesAsReadStringDoes) {
    ByteBuffer buffer;
    fill(buffer, std::string("ab\0\0cd", 6));
    EXPECT_TRUE(buffer.skip_string());
    EXPECT_EQ(buffer.position(), 3);
    EXPECT_TRUE(buffer.skip_string());
    EXPECT_EQ(buffer.position(), 4);
    EXPECT_FALSE(buffer.skip_string());
    EXPECT_EQ(buffer.position(), 6);
    EXPECT_FALSE(buffer.skip_string());
    EXPECT_EQ(buffer.position(), 6);
}

TEST(ByteBuffer, ATextOverTheStringLimitEndsTheProcess) {
    ByteBuffer buffer;
    buffer.append_fill('x', String::max_length + 1);
    buffer.set_position(0);
    String text;
    EXPECT_EXIT(buffer.read_string(text), ExitedWithCode(1), "^foundation/string.cpp [0-9]+\n$");
}

TEST(ByteBuffer, AdoptedBlocksAreReadFromTheStartAfterRewinding) {
    u8* block = static_cast<u8*>(core_allocate(3));
    memcpy(block, "xyz", 3);
    ByteBuffer buffer;
    fill(buffer, "old contents");
    buffer.adopt(block, 3);
    EXPECT_EQ(buffer.size(), 3);
    EXPECT_EQ(buffer.capacity(), 3);
    EXPECT_EQ(buffer.position(), 3);
    EXPECT_TRUE(buffer.set_position(0));
    u8 bytes[3];
    EXPECT_TRUE(buffer.read(bytes, 3));
    EXPECT_EQ(memcmp(bytes, "xyz", 3), 0);
}

TEST(ByteBuffer, AdoptingItsOwnBlockKeepsIt) {
    ByteBuffer buffer;
    fill(buffer, "abcdef");
    buffer.adopt(buffer.data(), 4);
    EXPECT_EQ(contents(buffer), "abcd");
}

TEST(ByteBuffer, ReleaseHandsTheBlockOver) {
    ByteBuffer buffer;
    fill(buffer, "abc");
    u8* block = buffer.release();
    EXPECT_EQ(memcmp(block, "abc", 3), 0);
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.size(), 0);
    EXPECT_EQ(buffer.capacity(), 0);
    EXPECT_EQ(buffer.position(), 0);
    core_free(block);
}

TEST(ByteBuffer, BrokenPreconditionsAreAssertionReports) {
    ByteBuffer buffer;
    EXPECT_EXIT(buffer.append_space(0), ExitedWithCode(1), "^foundation/byte_buffer.cpp [0-9]+\n$");
    EXPECT_EXIT(buffer.append_bytes(nullptr, 1), ExitedWithCode(1),
                "^foundation/byte_buffer.cpp [0-9]+\n$");
}

TEST(ByteBuffer, ASizeBeyondThe32BitRangeIsOutOfMemory) {
    ByteBuffer buffer;
    EXPECT_EXIT(buffer.set_size(2147483647), ExitedWithCode(1), "^Out of memory\n$");
}

}  // namespace
