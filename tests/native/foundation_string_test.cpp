// Tests of String: the slack policy and the length limit, the editing
// operations that take apart command lines and archive texts, and every fatal
// report, read back from the stderr of a death-test child. Most cases are
// tables; has_text also checks the terminator and that an emptied String has
// given up its buffer.
#include "foundation/string.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
// A failed allocation must come back empty, as the C library's does, so that
// the out-of-memory report is the foundation's and not the sanitizer's.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace {

const i32 all = String::all;

::testing::AssertionResult has_text(const String& s, const char* expected) {
    i32 n = static_cast<i32>(strlen(expected));
    if (s.length() != n || memcmp(s.text(), expected, n) != 0)
        return ::testing::AssertionFailure()
               << "holds \"" << s.text() << "\" (length " << s.length() << "), expected \"" << expected << "\"";
    if (s.text()[n] != 0) return ::testing::AssertionFailure() << "no terminator behind \"" << expected << "\"";
    if (n == 0 && (s.capacity() != 0 || s.text() != String().text()))
        return ::testing::AssertionFailure() << "empty, but keeps a buffer of " << s.capacity() << " bytes";
    if (n > 0 && s.capacity() < n + 1)
        return ::testing::AssertionFailure() << "capacity " << s.capacity() << " below length " << n << " + 1";
    return ::testing::AssertionSuccess();
}

// "a", 0, "c": three bytes that a copy by text would cut to one.
String with_inner_zero() {
    String s;
    s.set_length(3);
    memcpy(s.buffer(), "a\0c", 3);
    return s;
}

// ---- construction and the empty state ----

TEST(StringState, EmptyTextsGiveNoBufferAndTheSharedEmptyText) {
    const char* empty_texts[] = {nullptr, ""};
    String plain;
    ASSERT_NE(plain.text(), nullptr);
    EXPECT_TRUE(has_text(plain, ""));
    for (const char* t : empty_texts) {
        String s(t);
        EXPECT_TRUE(has_text(s, ""));
        EXPECT_EQ(s.text(), plain.text());
        EXPECT_TRUE(s.is_empty());
    }
}

struct Emptying {
    const char* name;
    void (*empty)(String&);
};

TEST(StringState, EveryWayToEmptyGivesUpTheBuffer) {
    const Emptying cases[] = {
        {"clear", [](String& s) { s.clear(); }},
        {"assign empty text", [](String& s) { s.assign(""); }},
        {"assign null", [](String& s) { s.assign(static_cast<const char*>(nullptr)); }},
        {"assign empty String", [](String& s) { s.assign(String()); }},
        {"assign zero bytes", [](String& s) { s.assign("xyz", 0); }},
        {"set_length 0", [](String& s) { s.set_length(0); }},
        {"set_length -4", [](String& s) { s.set_length(-4); }},
        {"truncate 0", [](String& s) { s.truncate(0); }},
        {"remove all", [](String& s) { s.remove(0, 3); }},
        {"remove_first past end", [](String& s) { s.remove_first(5); }},
        {"remove_last exact", [](String& s) { s.remove_last(3); }},
        {"trim everything", [](String& s) { s.trim_left("abc"); }},
        {"replace everything by nothing", [](String& s) { s.replace(0, 3, ""); }},
    };
    for (const Emptying& c : cases) {
        SCOPED_TRACE(c.name);
        String s("abc");
        c.empty(s);
        EXPECT_TRUE(has_text(s, ""));
    }
}

TEST(StringState, FromTextAllocatesLengthPlus33) {
    String s("abc");
    EXPECT_TRUE(has_text(s, "abc"));
    EXPECT_EQ(s.capacity(), 36);
}

TEST(StringState, CopyStopsAtTheFirstZeroWhileAssignCopiesEveryByte) {
    String source = with_inner_zero();
    String copy(source);
    EXPECT_TRUE(has_text(copy, "a"));

    String assigned("something longer");
    assigned = source;
    ASSERT_EQ(assigned.length(), 3);
    EXPECT_EQ(memcmp(assigned.text(), "a\0c", 4), 0);
}

TEST(StringState, MoveHandsTheBufferOver) {
    String a("xyz");
    const char* block = a.text();
    String b(std::move(a));
    EXPECT_EQ(b.text(), block);
    EXPECT_TRUE(has_text(a, ""));

    String c("old");
    c = std::move(b);
    EXPECT_EQ(c.text(), block);
    EXPECT_TRUE(has_text(c, "xyz"));
    EXPECT_TRUE(has_text(b, ""));
}

// ---- growth ----

TEST(StringGrowth, AppendingByteByByteReallocatesOnceEvery33Bytes) {
    String s;
    std::string expected;
    for (i32 i = 0; i < 40; i++) {
        char c = static_cast<char>('a' + i % 26);
        s.append(c);
        expected += c;
        EXPECT_EQ(s.capacity(), i < 33 ? 34 : 67) << "after " << i + 1 << " bytes";
    }
    EXPECT_TRUE(has_text(s, expected.c_str()));
}

struct SlackCase {
    i32 length;
    i32 capacity;
};

void PrintTo(const SlackCase& c, std::ostream* out) { *out << "length " << c.length << ", capacity " << c.capacity; }

class StringSlack : public ::testing::TestWithParam<SlackCase> {
protected:
    // 967 bytes make a block of exactly 1,000.
    void SetUp() override {
        subject.set_length(967);
        ASSERT_EQ(subject.capacity(), 1000);
        for (i32 i = 0; i < 967; i++) subject.buffer()[i] = static_cast<char>('a' + i % 26);
    }
    String subject;
};

TEST_P(StringSlack, KeepsTheBlockWithin512BytesOfSlackElseResizesToLengthPlus33) {
    const SlackCase& c = GetParam();
    const char* block = subject.text();
    subject.set_length(c.length);
    EXPECT_EQ(subject.length(), c.length);
    EXPECT_EQ(subject.capacity(), c.capacity);
    if (c.capacity == 1000) {
        EXPECT_EQ(subject.text(), block);
    }
    EXPECT_EQ(subject.text()[c.length], 0);
    i32 kept = c.length < 967 ? c.length : 967;
    for (i32 i = 0; i < kept; i++) ASSERT_EQ(subject.text()[i], 'a' + i % 26) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(Capacity1000, StringSlack,
                         ::testing::Values(SlackCase{487, 1000}, SlackCase{700, 1000}, SlackCase{999, 1000},
                                           SlackCase{486, 519}, SlackCase{1, 34}, SlackCase{1000, 1033}),
                         [](const ::testing::TestParamInfo<SlackCase>& info) {
                             return "length_" + std::to_string(info.param.length);
                         });

TEST(StringGrowth, FirstBlockStartsWithAnEmptyText) {
    String s;
    s.set_length(5);
    EXPECT_EQ(s.length(), 5);
    EXPECT_EQ(s.text()[0], 0);
    EXPECT_EQ(s.text()[5], 0);
}

TEST(StringGrowth, AMillionBytesIsTheLargestLength) {
    String s;
    s.set_length(1000000);
    EXPECT_EQ(s.length(), 1000000);
    EXPECT_EQ(s.capacity(), 1000033);
    EXPECT_EQ(s.text()[1000000], 0);
}

TEST(StringGrowth, AssignKeepsItsBlockWhileTheTextIsShorterThanIt) {
    struct Case {
        i32 length;
        i32 capacity;
    };
    const Case cases[] = {{2, 133}, {132, 133}, {133, 166}, {300, 333}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        String s(std::string(100, 'x').c_str());
        ASSERT_EQ(s.capacity(), 133);
        const char* block = s.text();
        std::string text(c.length, 'y');
        const char* returned = s.assign(text.c_str());
        EXPECT_EQ(returned, s.text());
        EXPECT_TRUE(has_text(s, text.c_str()));
        EXPECT_EQ(s.capacity(), c.capacity);
        if (c.capacity == 133) {
            EXPECT_EQ(s.text(), block);
        }
    }
}

TEST(StringGrowth, AssignTakesATextFromItsOwnBuffer) {
    String s("abcdef");
    s.assign(s.text() + 2);
    EXPECT_TRUE(has_text(s, "cdef"));
    s.assign(s.text() + 1, 2);
    EXPECT_TRUE(has_text(s, "de"));
}

TEST(StringGrowth, AssignWithCountStopsAtTheCountOrTheFirstZero) {
    String s("old");
    s.assign("abcdef", 4);
    EXPECT_TRUE(has_text(s, "abcd"));
    s.assign("ab\0cd", 5);
    EXPECT_TRUE(has_text(s, "ab"));
    s.assign(static_cast<const char*>(nullptr), 3);
    EXPECT_TRUE(has_text(s, ""));
}

TEST(StringGrowth, SyncLengthFollowsWhatWasWrittenIntoTheBuffer) {
    String s;
    EXPECT_EQ(s.sync_length(), 0);
    s.set_length(10);
    strcpy(s.buffer(), "hi");
    EXPECT_EQ(s.sync_length(), 2);
    EXPECT_TRUE(has_text(s, "hi"));
    s.buffer()[0] = 0;
    EXPECT_EQ(s.sync_length(), 0);
    EXPECT_TRUE(has_text(s, ""));
}

TEST(StringGrowth, SyncLengthNeverScansPastItsBlock) {
    String s;
    s.set_length(5);
    i32 capacity = s.capacity();
    memset(s.buffer(), 'x', capacity);
    EXPECT_EQ(s.sync_length(), capacity - 1);
    EXPECT_EQ(s.text()[capacity - 1], 0);
}

// ---- appending ----

TEST(StringAppend, TakesAtMostTheCountOfBytes) {
    struct Case {
        const char* text;
        i32 max_count;
        const char* expected;
    };
    const Case cases[] = {
        {"cd", all, "abcd"}, {"cde", 2, "abcd"}, {"cd", 0, "ab"}, {"cd", -3, "ab"}, {"", all, "ab"}, {"c\0d", all, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " / " << c.max_count);
        String s("ab");
        s.append(c.text, c.max_count);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringAppend, ToAnEmptyStringAndOfSingleBytes) {
    String s;
    s.append("");
    EXPECT_TRUE(has_text(s, ""));
    s.append('\0');
    EXPECT_TRUE(has_text(s, ""));
    s.append('x');
    s.append(String("yz"));
    EXPECT_TRUE(has_text(s, "xyz"));
    s.append(with_inner_zero());
    EXPECT_TRUE(has_text(s, "xyza"));
}

TEST(StringAppend, ItsOwnTextAcrossAReallocation) {
    std::string half(33, 'h');
    String s(half.c_str());
    ASSERT_EQ(s.capacity(), 66);
    s.append(s);
    EXPECT_TRUE(has_text(s, (half + half).c_str()));
    s.assign("abc");
    s.append(s.text() + 1, 1);
    EXPECT_TRUE(has_text(s, "abcb"));
}

TEST(StringAppend, EnsureTrailingAddsOnlyWhatIsMissing) {
    struct Case {
        const char* text;
        bool added;
        const char* expected;
    };
    const Case cases[] = {{"C:\\dir", true, "C:\\dir\\"}, {"C:\\dir\\", false, "C:\\dir\\"}, {"", true, "\\"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        String s(c.text);
        EXPECT_EQ(s.ensure_trailing('\\'), c.added);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringAppend, PlusOperatorsJoinBothSides) {
    String a("ab");
    String b("cd");
    EXPECT_TRUE(has_text(a + 'x', "abx"));
    EXPECT_TRUE(has_text(a + "xy", "abxy"));
    EXPECT_TRUE(has_text(a + b, "abcd"));
    EXPECT_TRUE(has_text("xy" + b, "xycd"));
    EXPECT_TRUE(has_text(String() + "", ""));
    EXPECT_TRUE(has_text(a + static_cast<const char*>(nullptr), "ab"));
    EXPECT_TRUE(has_text(a, "ab"));
    EXPECT_TRUE(has_text(b, "cd"));
}

TEST(StringAppend, PlusCopiesTheResultOutByText) {
    String joined = with_inner_zero() + "xyz";
    EXPECT_TRUE(has_text(joined, "a"));
    EXPECT_EQ(joined.capacity(), 1 + 33);
}

// ---- element access ----

TEST(StringAccess, AtReadsAndWritesInRange) {
    String s("abc");
    s.at(1) = 'X';
    s[2] = 'Y';
    EXPECT_TRUE(has_text(s, "aXY"));
    const String& view = s;
    EXPECT_EQ(view.at(0), 'a');
    EXPECT_EQ(view[2], 'Y');
}

TEST(StringAccess, CharAtAndTheEndsAnswerZeroOutsideTheText) {
    String s("abc");
    const i32 indexes[] = {-1, 0, 2, 3, 100};
    const char expected[] = {0, 'a', 'c', 0, 0};
    for (int i = 0; i < 5; i++) EXPECT_EQ(s.char_at(indexes[i]), expected[i]) << "index " << indexes[i];
    EXPECT_EQ(s.first_char(), 'a');
    EXPECT_EQ(s.last_char(), 'c');
    EXPECT_TRUE(s.starts_with_char('a'));
    EXPECT_TRUE(s.ends_with_char('c'));
    EXPECT_FALSE(s.ends_with_char('a'));
    String empty;
    EXPECT_EQ(empty.first_char(), 0);
    EXPECT_EQ(empty.last_char(), 0);
    EXPECT_TRUE(empty.is_out_of_range(0));
    EXPECT_FALSE(s.is_out_of_range(2));
}

TEST(StringAccess, SetCharAtZeroCutsTheLengthButKeepsTheBlock) {
    String s("abcdef");
    EXPECT_FALSE(s.set_char_at(6, 'x'));
    EXPECT_FALSE(s.set_char_at(-1, 'x'));
    EXPECT_TRUE(s.set_char_at(0, 'A'));
    EXPECT_TRUE(has_text(s, "Abcdef"));
    i32 capacity = s.capacity();
    EXPECT_TRUE(s.set_char_at(2, 0));
    EXPECT_EQ(s.length(), 2);
    EXPECT_STREQ(s.text(), "Ab");
    EXPECT_EQ(s.capacity(), capacity);
}

// ---- searching ----

TEST(StringSearch, FindCharForwardAndBackwardFromAPosition) {
    String s("a.b.c");
    struct Case {
        i32 from;
        i32 forward;
        i32 backward;
    };
    const Case cases[] = {{-5, 1, -1}, {0, 1, -1}, {1, 1, 1}, {2, 3, 1}, {3, 3, 3}, {4, -1, 3}, {5, -1, 3}, {all, -1, 3}};
    for (const Case& c : cases) {
        EXPECT_EQ(s.find_char('.', c.from), c.forward) << "from " << c.from;
        EXPECT_EQ(s.find_last_char('.', c.from), c.backward) << "from " << c.from;
    }
    EXPECT_EQ(s.find_last_char('.'), 3);
    EXPECT_EQ(s.find_char('x'), -1);
    EXPECT_EQ(String().find_last_char('.'), -1);
}

TEST(StringSearch, FindAnyOfTheSeparators) {
    String s("C:\\dir/sub");
    const i32 froms[] = {-2, 0, 2, 3, 6, 7};
    const i32 expected[] = {2, 2, 2, 6, 6, -1};
    for (int i = 0; i < 6; i++) EXPECT_EQ(s.find_any_of("/\\", froms[i]), expected[i]) << "from " << froms[i];
}

TEST(StringSearch, FindComparesBytesAndFindNoCaseIgnoresCase) {
    String s("abcabc");
    struct Case {
        const char* text;
        i32 from;
        i32 exact;
        i32 no_case;
    };
    const Case cases[] = {
        {"bc", 0, 1, 1},    {"bc", 2, 4, 4},       {"bc", -3, 1, 1},  {"abc", 3, 3, 3},  {"abc", 4, -1, -1},
        {"c", 5, 5, 5},     {"c", 6, -1, -1},      {"BC", 0, -1, 1},  {"aBC", 1, -1, 3}, {"abcabcd", 0, -1, -1},
        {"", 0, -1, -1},    {nullptr, 0, -1, -1},  {"x", 0, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.text ? c.text : "(null)") << " from " << c.from);
        EXPECT_EQ(s.find(c.text, c.from), c.exact);
        EXPECT_EQ(s.find_no_case(c.text, c.from), c.no_case);
    }
    EXPECT_EQ(String().find("a"), -1);
}

TEST(StringSearch, NumberStartsAtADigitSignOrPoint) {
    struct Case {
        const char* text;
        i32 start;
    };
    const Case cases[] = {{"Version 1.2", 8}, {"v-3", 1}, {"x+", 1}, {".5", 0}, {"none", -1}, {"", -1}};
    for (const Case& c : cases) EXPECT_EQ(String(c.text).find_number_start(), c.start) << c.text;
}

// ---- extraction ----

TEST(StringExtract, SubstringCutsTheCountToWhatIsThere) {
    String s("abcdef");
    struct Case {
        i32 count;
        i32 start;
        const char* expected;
    };
    const Case cases[] = {{3, 1, "bcd"}, {99, 4, "ef"}, {6, 0, "abcdef"}, {0, 1, ""}, {-2, 1, ""}, {3, 6, ""}, {3, 9, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " at " << c.start);
        String dest("previous");
        s.substring(dest, c.count, c.start);
        EXPECT_TRUE(has_text(dest, c.expected));
    }
    EXPECT_TRUE(has_text(s, "abcdef"));
}

TEST(StringExtract, SubstringIntoItselfAndOfInnerZeros) {
    String s(std::string(600, 'x').append("tail").c_str());
    s.substring(s, 4, 600);
    EXPECT_TRUE(has_text(s, "tail"));

    String bytes;
    with_inner_zero().substring(bytes, 3);
    ASSERT_EQ(bytes.length(), 3);
    EXPECT_EQ(memcmp(bytes.text(), "a\0c", 4), 0);
}

TEST(StringExtract, CutReturnsThePartAndRemovesIt) {
    String s("abcdef");
    EXPECT_TRUE(has_text(s.cut(1, 3), "bcd"));
    EXPECT_TRUE(has_text(s, "aef"));
    EXPECT_TRUE(has_text(s.cut(1, 99), "ef"));
    EXPECT_TRUE(has_text(s, "a"));
    EXPECT_TRUE(has_text(s.cut(0, 1), "a"));
    EXPECT_TRUE(has_text(s, ""));
}

TEST(StringExtract, TakeLineTakesEachLineEndOnce) {
    String s("a\r\nb\n\rc");
    EXPECT_TRUE(has_text(s.take_line(), "a"));
    EXPECT_TRUE(has_text(s.take_line(), "b"));
    EXPECT_TRUE(has_text(s, "c"));
    EXPECT_TRUE(has_text(s.take_line(), "c"));
    EXPECT_TRUE(has_text(s, ""));
    EXPECT_TRUE(has_text(s.take_line(), ""));
}

TEST(StringExtract, TakeLineEndings) {
    struct Case {
        const char* text;
        const char* line;
        const char* rest;
    };
    const Case cases[] = {
        {"x\ry", "x", "y"},    {"x\ny", "x", "y"},     {"x\r\ny", "x", "y"}, {"x\n\ry", "x", "y"},
        {"x\r\ry", "x", "\ry"}, {"x\n\ny", "x", "\ny"}, {"\nx", "", "x"},    {"x\n", "x", ""},
        {"x", "x", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        String s(c.text);
        EXPECT_TRUE(has_text(s.take_line(), c.line));
        EXPECT_TRUE(has_text(s, c.rest));
    }
}

TEST(StringExtract, TakeQuoted) {
    struct Case {
        const char* text;
        i32 pos;
        const char* taken;
        const char* rest;
    };
    const Case cases[] = {
        {"\"say \"\"hi\"\" now\"", 0, "say \"hi\" now", ""},
        {"x\"ab\"y", 1, "ab", "xy"},
        {"\"a\" b", 0, "a", " b"},
        {"\"open to the end", 0, "open to the end", ""},
        {"\"doubled at the end\"\"", 0, "doubled at the end\"", ""},
        {"\"\"rest", 0, "", "rest"},
        {"abc", 0, "", "abc"},
        {"\"ab\"", 4, "", "\"ab\""},
        {"\"ab\"", -1, "", "\"ab\""},
        {"", 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " at " << c.pos);
        String s(c.text);
        EXPECT_TRUE(has_text(s.take_quoted(c.pos), c.taken));
        EXPECT_TRUE(has_text(s, c.rest));
    }
}

TEST(StringExtract, TakeArgumentSplitsACommandLine) {
    String line("  \"C:\\Program Files\\App\" /a");
    EXPECT_TRUE(has_text(line.take_argument(), "C:\\Program Files\\App"));
    EXPECT_TRUE(has_text(line, "/a"));
    EXPECT_TRUE(has_text(line.take_argument(), "/a"));
    EXPECT_TRUE(has_text(line, ""));
    EXPECT_TRUE(has_text(line.take_argument(), ""));
}

TEST(StringExtract, TakeArgumentWords) {
    struct Case {
        const char* text;
        const char* word;
        const char* rest;
    };
    const Case cases[] = {
        {"a\"b c\"d e", "ab cd", "e"},
        {"/d:\"C:\\My Dir\" /a", "/d:C:\\My Dir", "/a"},
        {"\t\r\n word", "word", ""},
        {"one\ttwo", "one", "two"},
        {"one  two", "one", " two"},
        {"\"unclosed rest", "unclosed rest", ""},
        {"x\"\"y", "xy", ""},
        {"\"say \"\"hi\"\"\" z", "say \"hi\"", "z"},
        {"   ", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        String s(c.text);
        EXPECT_TRUE(has_text(s.take_argument(), c.word));
        EXPECT_TRUE(has_text(s, c.rest));
    }
}

TEST(StringExtract, PopFirstChar) {
    String s("ab");
    EXPECT_EQ(s.pop_first_char(), 'a');
    EXPECT_EQ(s.pop_first_char(), 'b');
    EXPECT_TRUE(has_text(s, ""));
    EXPECT_EQ(s.pop_first_char(), 0);
}

// ---- removal ----

TEST(StringRemove, RemoveClampsANegativeStartAndCutsAtTheEnd) {
    struct Case {
        i32 start;
        i32 count;
        bool removed;
        const char* expected;
    };
    const Case cases[] = {
        {1, 2, true, "adef"},   {0, 5, true, "f"},       {5, 1, true, "abcde"},   {4, 99, true, "abcd"},
        {0, 6, true, ""},       {-2, 3, true, "bcdef"},  {-3, 3, false, "abcdef"}, {6, 1, false, "abcdef"},
        {2, 0, false, "abcdef"}, {2, -1, false, "abcdef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " at " << c.start);
        String s("abcdef");
        EXPECT_EQ(s.remove(c.start, c.count), c.removed);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringRemove, RemoveFirstAndLast) {
    struct Case {
        i32 n;
        const char* without_first;
        const char* without_last;
    };
    const Case cases[] = {{-1, "abc", "abc"}, {0, "abc", "abc"}, {1, "bc", "ab"}, {2, "c", "a"}, {3, "", ""}, {9, "", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        String first("abc");
        String last("abc");
        first.remove_first(c.n);
        last.remove_last(c.n);
        EXPECT_TRUE(has_text(first, c.without_first));
        EXPECT_TRUE(has_text(last, c.without_last));
    }
}

TEST(StringRemove, SingleBytesAtEitherEnd) {
    String s("/path/");
    EXPECT_FALSE(s.remove_leading('x'));
    EXPECT_TRUE(s.remove_leading('/'));
    EXPECT_FALSE(s.remove_trailing('x'));
    EXPECT_TRUE(s.remove_trailing('/'));
    EXPECT_TRUE(has_text(s, "path"));
    EXPECT_TRUE(s.remove_first_char());
    EXPECT_TRUE(s.remove_last_char());
    EXPECT_TRUE(has_text(s, "at"));

    String empty;
    EXPECT_FALSE(empty.remove_first_char());
    EXPECT_FALSE(empty.remove_last_char());
    EXPECT_FALSE(empty.remove_leading(0));
    EXPECT_FALSE(empty.remove_trailing(0));
    EXPECT_FALSE(empty.remove_leading_any_of("/-"));
}

TEST(StringRemove, LeadingSwitchCharacter) {
    struct Case {
        const char* text;
        bool removed;
        const char* expected;
    };
    const Case cases[] = {{"/a", true, "a"}, {"-a", true, "a"}, {"a/", false, "a/"}, {"/", true, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        String s(c.text);
        EXPECT_EQ(s.remove_leading_any_of("/-"), c.removed);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringRemove, PrefixWithoutRegardToCase) {
    struct Case {
        const char* prefix;
        i32 max_count;
        bool removed;
        const char* expected;
    };
    const Case cases[] = {
        {"d:", 2, true, "\\Dir"},       {"D:xyz", 2, true, "\\Dir"},  {"d:\\dir", all, true, ""},
        {"d:\\dirx", all, false, "D:\\Dir"}, {"U", 1, false, "D:\\Dir"},    {"", all, false, "D:\\Dir"},
        {"d:", 0, false, "D:\\Dir"},    {nullptr, all, false, "D:\\Dir"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.prefix ? c.prefix : "(null)") << " / " << c.max_count);
        String s("D:\\Dir");
        EXPECT_EQ(s.remove_prefix_no_case(c.prefix, c.max_count), c.removed);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringRemove, StripEnclosingQuotes) {
    struct Case {
        const char* text;
        bool stripped;
        const char* expected;
    };
    const Case cases[] = {{"\"a b\"", true, "a b"}, {"\"a", false, "\"a"}, {"a\"", false, "a\""},
                          {"\"\"", true, ""},       {"\"", true, ""},      {"", false, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        String s(c.text);
        EXPECT_EQ(s.strip_enclosing('"'), c.stripped);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringRemove, TruncateAndTruncateAt) {
    struct Case {
        i32 n;
        bool cut;
        const char* expected;
    };
    const Case cases[] = {{3, true, "abc"}, {5, true, "abcde"}, {6, false, "abcdef"}, {9, false, "abcdef"},
                          {0, true, ""},    {-1, true, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        String s("abcdef");
        EXPECT_EQ(s.truncate(c.n), c.cut);
        EXPECT_TRUE(has_text(s, c.expected));
    }
    String path("setup.exe /a /b");
    EXPECT_TRUE(path.truncate_at(' '));
    EXPECT_TRUE(has_text(path, "setup.exe"));
    EXPECT_FALSE(path.truncate_at(' '));
    EXPECT_TRUE(has_text(path, "setup.exe"));
    EXPECT_TRUE(path.truncate_at('s'));
    EXPECT_TRUE(has_text(path, ""));
}

TEST(StringRemove, RemoveAllCountsWhatWentAway) {
    String s("a,b,,c,");
    EXPECT_EQ(s.remove_all(','), 4);
    EXPECT_TRUE(has_text(s, "abc"));
    EXPECT_EQ(s.remove_all(','), 0);
    EXPECT_EQ(s.remove_all_of("ac"), 2);
    EXPECT_TRUE(has_text(s, "b"));
    EXPECT_EQ(s.remove_all_of("b"), 1);
    EXPECT_TRUE(has_text(s, ""));
    EXPECT_EQ(s.remove_all_of("b"), 0);
}

TEST(StringRemove, RemoveAllOfEndsTheTextAtAnInnerZero) {
    String s = with_inner_zero();
    EXPECT_EQ(s.remove_all_of("c"), 1);
    EXPECT_TRUE(has_text(s, "a"));
}

// ---- insertion and replacement ----

TEST(StringInsert, InsertClampsThePosition) {
    struct Case {
        i32 pos;
        const char* text;
        i32 max_count;
        const char* expected;
    };
    const Case cases[] = {
        {1, "XY", all, "aXYbc"}, {0, "XY", all, "XYabc"}, {-5, "X", all, "Xabc"}, {3, "X", all, "abcX"},
        {99, "X", all, "abcX"},  {1, "XYZ", 2, "aXYbc"},  {1, "XY", 0, "abc"},    {1, "", all, "abc"},
        {1, nullptr, all, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.text ? c.text : "(null)") << " at " << c.pos);
        String s("abc");
        s.insert(c.pos, c.text, c.max_count);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringInsert, IntoAnEmptyStringAndFromItsOwnText) {
    String s;
    s.insert(5, "ab");
    EXPECT_TRUE(has_text(s, "ab"));
    s.insert(1, s.text());
    EXPECT_TRUE(has_text(s, "aabb"));
}

TEST(StringInsert, InsertChars) {
    struct Case {
        i32 pos;
        char c;
        i32 count;
        const char* expected;
    };
    const Case cases[] = {{1, '-', 3, "a---bc"}, {-1, '-', 1, "-abc"}, {9, '-', 2, "abc--"},
                          {1, '\0', 3, "abc"},   {1, '-', 0, "abc"},   {1, '-', -2, "abc"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " at " << c.pos);
        String s("abc");
        s.insert_chars(c.pos, c.c, c.count);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringReplace, ShrinksGrowsOrInserts) {
    struct Case {
        i32 pos;
        i32 count;
        const char* text;
        i32 result;
        const char* expected;
    };
    const Case cases[] = {
        {1, 2, "X", 1, "aXdef"},        {1, 1, "XYZ", 3, "aXYZcdef"}, {1, 2, "XY", 2, "aXYdef"},
        {2, 0, "XY", 2, "abXYcdef"},    {2, -1, "XY", 2, "abXYcdef"}, {2, 0, "", 0, "abcdef"},
        {2, -1, nullptr, 0, "abcdef"},  {4, 2, "XYZ", 3, "abcdXYZ"},  {4, 99, "", 0, "abcd"},
        {6, 1, "X", 1, "abcdefX"},      {0, 6, "new", 3, "new"},      {0, 99, "", 0, ""},
        {1, 2, nullptr, 0, "adef"},     {7, 1, "X", 0, "abcdef"},     {-1, 1, "X", 0, "abcdef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " at " << c.pos << " by " << (c.text ? c.text : "(null)"));
        String s("abcdef");
        EXPECT_EQ(s.replace(c.pos, c.count, c.text), c.result);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringReplace, GrowingMovesTheTailIntoTheNewBlock) {
    std::string subject(33, 's');
    subject += "TAIL";
    std::string text(40, 't');
    String s(subject.c_str());
    i32 capacity = s.capacity();
    s.replace(2, 3, text.c_str());
    EXPECT_GT(s.capacity(), capacity);
    EXPECT_TRUE(has_text(s, (subject.substr(0, 2) + text + subject.substr(5)).c_str()));
}

TEST(StringReplace, ShrinkingPastTheSlackKeepsTheHead) {
    std::string subject = "head" + std::string(700, 'x') + "tail";
    String s(subject.c_str());
    s.replace(4, 700, "-");
    EXPECT_TRUE(has_text(s, "head-tail"));
    EXPECT_EQ(s.capacity(), 9 + 33);
}

TEST(StringReplace, ReplaceAll) {
    struct Case {
        const char* text;
        const char* pattern;
        const char* replacement;
        i32 count;
        const char* expected;
    };
    const Case cases[] = {
        {"Welcome to <product>. <product> is ready.", "<product>", "My <product> App", 2,
         "Welcome to My <product> App. My <product> App is ready."},
        {"xx", "x", "xx", 2, "xxxx"},
        {"aaa", "aa", "b", 1, "ba"},
        {"a.b.c", ".", "", 2, "abc"},
        {"...", ".", "", 3, ""},
        {"abc", "d", "e", 0, "abc"},
        {"abc", "", "x", 0, "abc"},
        {"abc", nullptr, "x", 0, "abc"},
        {"abc", "b", nullptr, 0, "abc"},
        {"", "a", "b", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        String s(c.text);
        EXPECT_EQ(s.replace_all(c.pattern, c.replacement), c.count);
        EXPECT_TRUE(has_text(s, c.expected));
    }
}

TEST(StringReplace, ReplaceAllWithAPatternFromItsOwnText) {
    String s("abab");
    EXPECT_EQ(s.replace_all(s.text() + 2, "c"), 2);
    EXPECT_TRUE(has_text(s, "cc"));
    String t("x-y");
    EXPECT_EQ(t.replace_all("-", t.text()), 1);
    EXPECT_TRUE(has_text(t, "xx-yy"));
}

// ---- trimming ----

TEST(StringTrim, RemovesTheSetAtEitherEnd) {
    struct Case {
        const char* text;
        const char* left;
        i32 left_count;
        const char* right;
        i32 right_count;
        const char* both;
        i32 both_count;
    };
    const Case cases[] = {
        {"  \t a b \r\n", "a b \r\n", 4, "  \t a b", 3, "a b", 7},
        {"ab", "ab", 0, "ab", 0, "ab", 0},
        {" \n\r\t ", "", 5, "", 5, "", 5},
        {"", "", 0, "", 0, "", 0},
        {"\va\v", "\va\v", 0, "\va\v", 0, "\va\v", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        String left(c.text);
        String right(c.text);
        String both(c.text);
        EXPECT_EQ(left.trim_left(), c.left_count);
        EXPECT_TRUE(has_text(left, c.left));
        EXPECT_EQ(right.trim_right(), c.right_count);
        EXPECT_TRUE(has_text(right, c.right));
        EXPECT_EQ(both.trim(), c.both_count);
        EXPECT_TRUE(has_text(both, c.both));
    }
}

TEST(StringTrim, WithItsOwnSet) {
    String s("--x-y--");
    EXPECT_EQ(s.trim_left("-"), 2);
    EXPECT_EQ(s.trim_right("-y"), 4);
    EXPECT_TRUE(has_text(s, "x"));
    EXPECT_EQ(s.trim_left(""), 0);
}

// ---- comparison ----

TEST(StringCompare, CompareNoCaseGivesTheSign) {
    struct Case {
        const char* left;
        const char* right;
        int sign;
    };
    const Case cases[] = {{"Setup.EXE", "setup.exe", 0}, {"abc", "ABD", -1}, {"b", "A", 1},
                          {"", "", 0},                   {"a", nullptr, 1},  {"", "a", -1}};
    for (const Case& c : cases) {
        int result = String(c.left).compare_no_case(c.right);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.left << " against " << (c.right ? c.right : "(null)");
    }
}

TEST(StringCompare, StartsWithCountsCase) {
    String s("setup.exe");
    struct Case {
        const char* text;
        i32 max_count;
        bool expected;
    };
    const Case cases[] = {{"set", all, true},  {"SET", 3, false},  {"setx", 3, true},          {"setx", 4, false},
                          {"", all, false},    {nullptr, 3, false}, {"setup.exe!", all, false}, {"s", 0, false},
                          {"setup.exe", all, true}};
    for (const Case& c : cases)
        EXPECT_EQ(s.starts_with(c.text, c.max_count), c.expected) << (c.text ? c.text : "(null)") << " / " << c.max_count;
    EXPECT_FALSE(String().starts_with("s"));
}

TEST(StringCompare, EndsWithNoCaseComparesTheLastBytesOfBoth) {
    String s("setup.exe");
    struct Case {
        const char* text;
        i32 max_count;
        bool expected;
    };
    const Case cases[] = {
        {".EXE", 4, true},  {".EXE", all, true},      {"X.EXE", 4, true},        {".EXE", 3, true},
        {".com", all, false}, {"1setup.exe", all, false}, {"1SETUP.EXE", 9, true}, {nullptr, 4, false},
        {".exe", 0, false}, {".exe", -1, false},      {"", all, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(s.ends_with_no_case(c.text, c.max_count), c.expected)
            << (c.text ? c.text : "(null)") << " / " << c.max_count;
    EXPECT_FALSE(String("exe").ends_with_no_case(".exe"));
}

// ---- numbers ----

TEST(StringNumbers, ToIntAndToDoubleReadFromTheFirstNumberWithoutCommas) {
    struct Case {
        const char* text;
        i32 integer;
        double real;
    };
    const Case cases[] = {
        {"v2.5", 2, 2.5},           {"1,000.25", 1000, 1000.25}, {"Version 1,234.5", 1234, 1234.5},
        {"-17 apples", -17, -17.0}, {"x+8", 8, 8.0},             {"v.5", 0, 0.5},
        {"none", 0, 0.0},           {"", 0, 0.0},                {"1,000,000", 1000000, 1000000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        String s(c.text);
        EXPECT_EQ(s.to_int(), c.integer);
        EXPECT_DOUBLE_EQ(s.to_double(), c.real);
        EXPECT_TRUE(has_text(s, c.text));
    }
}

TEST(StringNumbers, IntAtReadsFromAPosition) {
    String s("ab 42x");
    EXPECT_EQ(s.int_at(3), 42);
    EXPECT_EQ(s.int_at(4), 2);
    EXPECT_EQ(s.int_at(0), 0);
    EXPECT_EQ(s.int_at(6), -2147483647 - 1);
    EXPECT_EQ(s.int_at(-1), -2147483647 - 1);
    EXPECT_EQ(String("abc").int_at(7), -2147483647 - 1);
}

// ---- formatting ----

void format_through_list(String& s, const char* fmt, ...) {
    va_list arguments;
    va_start(arguments, fmt);
    s.format_va(fmt, arguments);
    va_end(arguments);
}

TEST(StringFormat, AppendFormatInsertAndFormatted) {
    String s("n=");
    s.append_format("%d/%s", 5, "x");
    EXPECT_TRUE(has_text(s, "n=5/x"));
    s.insert_format("%c%c", '<', '>');
    EXPECT_TRUE(has_text(s, "<>n=5/x"));
    s.format("%03d", 7);
    EXPECT_TRUE(has_text(s, "007"));
    format_through_list(s, "%s-%d", "a", 1);
    EXPECT_TRUE(has_text(s, "a-1"));
    s.format("%s", "");
    EXPECT_TRUE(has_text(s, ""));
    EXPECT_TRUE(has_text(formatted("%s %u", "size", 12u), "size 12"));
}

TEST(StringFormat, FormatMayUseItsOwnText) {
    String s("abc");
    s.format("[%s]", s.text());
    EXPECT_TRUE(has_text(s, "[abc]"));
    s.append_format("%s", s.text());
    EXPECT_TRUE(has_text(s, "[abc][abc]"));
}

TEST(StringFormat, TheLongestFormattedTextIs32767Bytes) {
    std::string longest(32767, 'f');
    String s("ab");
    s.append_format("%s", longest.c_str());
    EXPECT_TRUE(has_text(s, ("ab" + longest).c_str()));
    s.format("%s", longest.c_str());
    EXPECT_TRUE(has_text(s, longest.c_str()));
    s.insert_format("%s", longest.c_str());
    EXPECT_EQ(s.length(), 2 * 32767);
    EXPECT_TRUE(has_text(formatted("%s", longest.c_str()), longest.c_str()));
}

// ---- character functions ----

TEST(StringChars, ClassesAndUpperCaseOfTheAsciiRangeOnly) {
    struct Case {
        char c;
        bool digit;
        bool alpha;
        bool blank;
        char upper;
    };
    const Case cases[] = {
        {'0', true, false, false, '0'},   {'9', true, false, false, '9'},   {'/', false, false, false, '/'},
        {':', false, false, false, ':'},  {'a', false, true, false, 'A'},   {'z', false, true, false, 'Z'},
        {'A', false, true, false, 'A'},   {'Z', false, true, false, 'Z'},   {'@', false, false, false, '@'},
        {'[', false, false, false, '['},  {'`', false, false, false, '`'},  {'{', false, false, false, '{'},
        {' ', false, false, true, ' '},   {'\t', false, false, true, '\t'}, {'\n', false, false, true, '\n'},
        {'\r', false, false, true, '\r'}, {'\v', false, false, false, '\v'}, {'\xe4', false, false, false, '\xe4'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(c.c)));
        EXPECT_EQ(is_digit(c.c), c.digit);
        EXPECT_EQ(is_alpha(c.c), c.alpha);
        EXPECT_EQ(is_blank(c.c), c.blank);
        EXPECT_EQ(to_upper(c.c), c.upper);
    }
    EXPECT_EQ(last_char_of("abc"), 'c');
    EXPECT_EQ(last_char_of(""), 0);
}

// ---- fatal reports ----

const char* const assertion_in_string = "^foundation/string\\.cpp [0-9]+\n$";
const char* const assertion_in_formatting = "^foundation/(core|string)\\.cpp [0-9]+\n$";

// Caps the address space a little above what the process maps already, so
// that a block of a megabyte can no longer be had while the report itself
// still finds the few pages it needs.
void limit_address_space() {
    long pages = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (!statm || fscanf(statm, "%ld", &pages) != 1) _exit(3);
    fclose(statm);
    struct rlimit limit;
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (512 << 10);
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(4);
}

const char* null_text() {
    static const char* volatile nothing = nullptr;
    return nothing;
}

struct FatalCase {
    const char* name;
    void (*action)();
    const char* report;
};

void PrintTo(const FatalCase& c, std::ostream* out) { *out << c.name; }

class StringDeathTest : public ::testing::TestWithParam<FatalCase> {};

TEST_P(StringDeathTest, EndsTheProcessWithTheReport) {
    EXPECT_EXIT(GetParam().action(), ::testing::ExitedWithCode(1), GetParam().report);
}

const FatalCase fatal_cases[] = {
    {"index_past_end", [] { String("abc").at(3); }, "^String\\[3\\] \"abc\"\n$"},
    {"negative_index", [] { const String s("abc"); (void)s.at(-1); }, "^String\\[-1\\] \"abc\"\n$"},
    {"index_in_empty", [] { String()[0] = 'x'; }, "^String\\[0\\] \"\"\n$"},
    {"length_over_limit", [] { String().set_length(1000001); }, assertion_in_string},
    {"append_past_limit",
     [] {
         String s;
         s.set_length(1000000);
         s.append('x');
     },
     assertion_in_string},
    {"text_over_limit", [] { String s(std::string(1000001, 'x').c_str()); }, assertion_in_string},
    {"assign_over_limit", [] { String("a").assign(std::string(1000001, 'x').c_str()); }, assertion_in_string},
    {"insert_chars_over_limit", [] { String("a").insert_chars(0, 'x', String::all); }, assertion_in_string},
    {"null_text_to_append", [] { String("a").append(null_text(), 3); }, assertion_in_string},
    {"negative_substring_start",
     [] {
         String dest;
         String("abc").substring(dest, 1, -1);
     },
     assertion_in_string},
    {"null_format_to_append_format", [] { String().append_format(null_text()); }, assertion_in_string},
    {"null_format_to_format", [] { String("a").format(null_text()); }, assertion_in_string},
    {"null_format_to_insert_format", [] { String("a").insert_format(null_text()); }, assertion_in_string},
    {"null_format_to_formatted", [] { formatted(null_text()); }, assertion_in_string},
    {"null_set_to_find_any_of", [] { String("abc").find_any_of(null_text()); }, assertion_in_string},
    {"empty_set_to_find_any_of", [] { String("abc").find_any_of(""); }, assertion_in_string},
    {"null_set_to_remove_all_of", [] { String().remove_all_of(null_text()); }, assertion_in_string},
    {"null_text_to_last_char_of", [] { last_char_of(null_text()); }, assertion_in_string},
    {"formatted_text_of_32768_bytes",
     [] { String("ab").append_format("%s", std::string(32768, 'f').c_str()); }, assertion_in_formatting},
    {"inserted_format_of_32768_bytes",
     [] { String().insert_format("%s%s", std::string(32767, 'f').c_str(), "g"); }, assertion_in_formatting},
    {"out_of_memory",
     [] {
         String s;
         limit_address_space();
         s.set_length(1000000);
     },
     "^Out Of Memory\\.  Make sure your hard drive is not full\\.\nRequested size = 1000033\n$"},
};

INSTANTIATE_TEST_SUITE_P(Reports, StringDeathTest, ::testing::ValuesIn(fatal_cases),
                         [](const ::testing::TestParamInfo<FatalCase>& info) { return std::string(info.param.name); });

}  // namespace
