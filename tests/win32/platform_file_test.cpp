// The file object against real files under Wine: opening and sharing,
// reading and writing with their failure texts, positions, ranges, dates,
// and the whole-text writers.
#include <gtest/gtest.h>

#include <string.h>

#include "platform/file.h"
#include "platform/filesystem.h"

namespace {

// The system's text for a code, as its allocating form hands it out.
String system_message(DWORD code) {
    char* message = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&message), 0, nullptr);
    String text(message);
    if (message) LocalFree(message);
    return text;
}

// Every test works in a fresh directory of its own below C:\tests.
class FileTest : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        dir = formatted("C:\\tests\\file\\%s.%s", info->test_suite_name(), info->name());
        // Parameterised names hold slashes, which Windows reads as separators.
        dir.replace_all("/", "-");
        ASSERT_TRUE(create_directory(dir.text()));
    }

    String path(const char* name) const { return formatted("%s\\%s", dir.text(), name); }

    String make_file(const char* name, const char* text) const {
        String file_path = path(name);
        HANDLE h = CreateFileA(file_path.text(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
        CloseHandle(h);
        return file_path;
    }

    static String contents(const char* file_path) {
        String text;
        HANDLE h = CreateFileA(file_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return String("<missing>");
        char block[256];
        DWORD got = 0;
        while (ReadFile(h, block, sizeof block, &got, nullptr) && got > 0) text.append(block, static_cast<i32>(got));
        CloseHandle(h);
        return text;
    }

    String dir;
};

DateTime date(i32 year, i32 month, i32 day, i32 hour, i32 minute, i32 second) {
    DateTime d;
    d.year = year;
    d.month = month;
    d.day = day;
    d.hour = hour;
    d.minute = minute;
    d.second = second;
    return d;
}

void expect_same_date(const DateTime& a, const DateTime& b) {
    EXPECT_STREQ(a.format().text(), b.format().text());
    EXPECT_FALSE(a.is_before(b));
    EXPECT_FALSE(b.is_before(a));
}

TEST_F(FileTest, OpeningAMissingFileFailsAndLeavesItClosed) {
    File file;
    EXPECT_FALSE(file.open_for_reading(path("missing.bin").text(), false));
    EXPECT_FALSE(file.is_open());
    EXPECT_EQ(file.size(), -1);
}

TEST_F(FileTest, AFailedOpenClosesTheFileThatWasOpen) {
    String existing = make_file("a.txt", "abc");
    File file;
    ASSERT_TRUE(file.open_for_reading(existing.text(), true));
    EXPECT_FALSE(file.open_for_reading(path("missing.bin").text(), false));
    EXPECT_FALSE(file.is_open());
    // The exclusive hold on the first file went with it.
    File other;
    EXPECT_TRUE(other.open_for_reading(existing.text(), true));
}

TEST_F(FileTest, ASharedOpenLetsOthersReadWhileAnExclusiveOneDoesNot) {
    String shared = make_file("shared.txt", "abc");
    File first, second;
    ASSERT_TRUE(first.open_for_reading(shared.text(), false));
    EXPECT_TRUE(second.open_for_reading(shared.text(), false));
    File writer;
    EXPECT_TRUE(writer.open(shared.text(), false, true, false));
    writer.close();
    second.close();
    first.close();

    ASSERT_TRUE(first.open_for_reading(shared.text(), true));
    EXPECT_FALSE(second.open_for_reading(shared.text(), false));
    EXPECT_FALSE(second.create(shared.text(), false));
    first.close();
    EXPECT_TRUE(second.open_for_reading(shared.text(), false));
}

TEST_F(FileTest, CreateEmptiesAnExistingFileAndCanReadBackWhatItWrote) {
    String target = make_file("data.bin", "old contents");
    File file;
    ASSERT_TRUE(file.create(target.text(), true));
    EXPECT_EQ(file.size(), 0);
    ASSERT_TRUE(file.write("hello", 5));
    EXPECT_EQ(file.tell(), 5);
    ASSERT_TRUE(file.seek(1));
    char block[4] = {};
    ASSERT_TRUE(file.read(block, 3));
    EXPECT_STREQ(block, "ell");
    file.close();
    EXPECT_STREQ(contents(target.text()).text(), "hello");
}

TEST(ClosedFile, ReportsNoPositionNoSizeAndNoDate) {
    File file;
    EXPECT_EQ(file.tell(), -1);
    EXPECT_EQ(file.size(), -1);
    EXPECT_FALSE(file.seek(0));
    EXPECT_FALSE(file.seek_from_end(0));
    char byte;
    EXPECT_TRUE(file.read(&byte, 0));
    EXPECT_FALSE(file.read(&byte, 1));
    EXPECT_STREQ(file.error_text().text(), "Read access denied");
    EXPECT_FALSE(file.write("x", 1));
    EXPECT_STREQ(file.error_text().text(), "Write access denied");

    DateTime out = date(1999, 7, 4, 13, 5, 9);
    EXPECT_FALSE(file.get_date(out));
    DateTime none = file.get_date();
    const i32 fields[] = {none.year, none.month, none.day, none.hour, none.minute, none.second};
    for (i32 field : fields) EXPECT_EQ(field, 0);
    EXPECT_FALSE(file.set_date(date(1999, 7, 4, 13, 5, 9)));
}

struct ReadFailure {
    const char* label;
    bool open_for_write_only;
    i32 seek_to;
    i32 count;
    bool null_block;
    const char* error;
};

class FileReadFailure : public FileTest, public testing::WithParamInterface<ReadFailure> {};

TEST_P(FileReadFailure, IsFalseWithItsReason) {
    const ReadFailure& c = GetParam();
    String target = make_file("ten.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.open(target.text(), !c.open_for_write_only, c.open_for_write_only, false));
    ASSERT_TRUE(file.seek(c.seek_to));
    char block[16];
    EXPECT_FALSE(file.read(c.null_block ? nullptr : block, c.count));
    EXPECT_STREQ(file.error_text().text(), c.error);
}

INSTANTIATE_TEST_SUITE_P(Cases, FileReadFailure, testing::Values(
    ReadFailure{"PastTheEnd", false, 8, 3, false, "Read past end of file"},
    ReadFailure{"AtTheEnd", false, 10, 1, false, "Read past end of file"},
    ReadFailure{"NegativeCount", false, 0, -3, false, "Illegal block size -3"},
    ReadFailure{"NullBlock", false, 0, 1, true, "NULL block pointer"},
    ReadFailure{"WriteOnly", true, 0, 1, false, "Read access denied"}),
    [](const testing::TestParamInfo<ReadFailure>& info) { return info.param.label; });

struct WriteFailure {
    const char* label;
    bool writable;
    i32 count;
    bool null_block;
    const char* error;
};

class FileWriteFailure : public FileTest, public testing::WithParamInterface<WriteFailure> {};

TEST_P(FileWriteFailure, IsFalseWithItsReasonAndChangesNothing) {
    const WriteFailure& c = GetParam();
    String target = make_file("ten.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.open(target.text(), true, c.writable, false));
    EXPECT_FALSE(file.write(c.null_block ? nullptr : "abc", c.count));
    EXPECT_STREQ(file.error_text().text(), c.error);
    file.close();
    EXPECT_STREQ(contents(target.text()).text(), "0123456789");
}

INSTANTIATE_TEST_SUITE_P(Cases, FileWriteFailure, testing::Values(
    WriteFailure{"OpenForReading", false, 3, false, "Write access denied"},
    WriteFailure{"NegativeCount", true, -1, false, "Illegal block size"},
    WriteFailure{"NullBlock", true, 3, true, "NULL block pointer"}),
    [](const testing::TestParamInfo<WriteFailure>& info) { return info.param.label; });

TEST_F(FileTest, AReadFailureThatTheSystemReportsCarriesItsMessage) {
    String target = make_file("ten.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.open_for_reading(target.text(), false));
    char block[4];
    // Before the start: the system refuses the seek, and the read must not
    // quietly take the bytes at the current position instead.
    EXPECT_FALSE(file.read_at(-2, block, 2));
    String expected = system_message(ERROR_NEGATIVE_SEEK);
    ASSERT_FALSE(expected.is_empty());
    // The whole text, its line break included, and nothing behind it.
    EXPECT_STREQ(file.error_text().text(), expected.text());
    EXPECT_EQ(file.error_text().length(), expected.length());
    EXPECT_EQ(file.tell(), 0);
}

TEST_F(FileTest, SizeAndReadAtLeaveThePositionWhereItWas) {
    String target = make_file("ten.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.open_for_reading(target.text(), false));
    ASSERT_TRUE(file.seek(3));
    EXPECT_EQ(file.size(), 10);
    EXPECT_EQ(file.tell(), 3);

    char block[3] = {};
    ASSERT_TRUE(file.read_at(7, block, 3));
    EXPECT_EQ(memcmp(block, "789", 3), 0);
    EXPECT_EQ(file.tell(), 3);

    EXPECT_FALSE(file.read_at(8, block, 3));
    EXPECT_STREQ(file.error_text().text(), "Read past end of file");
    EXPECT_EQ(file.tell(), 3);
}

TEST_F(FileTest, SeekFromTheEndCountsBackwards) {
    String target = make_file("ten.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.open_for_reading(target.text(), false));
    ASSERT_TRUE(file.seek_from_end(-4));
    EXPECT_EQ(file.tell(), 6);
    EXPECT_FALSE(file.seek_from_end(-11));
    EXPECT_FALSE(file.seek(-1));
}

TEST_F(FileTest, PositionsComeBackInReverseOrder) {
    String target = make_file("ten.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.open_for_reading(target.text(), false));
    ASSERT_TRUE(file.seek(2));
    EXPECT_EQ(file.push_position_and_seek(5), 2);
    EXPECT_EQ(file.tell(), 5);
    EXPECT_EQ(file.push_position_and_seek(9), 5);
    EXPECT_EQ(file.push_position(), 9);
    EXPECT_EQ(file.pop_position(), 9);
    EXPECT_EQ(file.pop_position(), 5);
    EXPECT_EQ(file.tell(), 5);
    EXPECT_EQ(file.pop_position(), 2);
    EXPECT_EQ(file.tell(), 2);
}

TEST_F(FileTest, PoppingAPositionThatWasNeverPushedIsFatal) {
    String target = make_file("ten.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.open_for_reading(target.text(), false));
    file.push_position();
    // Closing forgets the saved positions along with the file.
    file.close();
    ASSERT_TRUE(file.open_for_reading(target.text(), false));
    EXPECT_DEATH(file.pop_position(), "^gfile \\d+");
}

struct RangeCase {
    const char* label;
    i32 offset;
    i32 count;
    const char* read;  // null: the read fails and out keeps "keep"
};

class FileReadRange : public FileTest, public testing::WithParamInterface<RangeCase> {};

TEST_P(FileReadRange, ReadsOnlyRangesInsideTheFile) {
    const RangeCase& c = GetParam();
    String target = make_file("ten.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.open_for_reading(target.text(), false));
    ASSERT_TRUE(file.seek(4));
    ByteBuffer out;
    out.append_bytes("keep", 4);
    EXPECT_EQ(file.read_range(out, c.offset, c.count), c.read != nullptr);
    const char* expected = c.read ? c.read : "keep";
    ASSERT_EQ(out.size(), static_cast<i32>(strlen(expected)));
    EXPECT_EQ(memcmp(out.data(), expected, strlen(expected)), 0);
    EXPECT_EQ(file.tell(), 4);
}

INSTANTIATE_TEST_SUITE_P(Cases, FileReadRange, testing::Values(
    RangeCase{"Inside", 2, 3, "234"},
    RangeCase{"UpToTheEnd", 7, 3, "789"},
    RangeCase{"TheWholeFile", 0, 10, "0123456789"},
    RangeCase{"NothingAtTheEnd", 10, 0, ""},
    RangeCase{"OneBytePastTheEnd", 7, 4, nullptr},
    RangeCase{"NegativeOffset", -1, 2, nullptr},
    RangeCase{"NegativeCount", 2, -1, nullptr},
    RangeCase{"AnOffsetThatWouldWrapAround", 2147483647, 10, nullptr}),
    [](const testing::TestParamInfo<RangeCase>& info) { return info.param.label; });

TEST_F(FileTest, ADateSetIsTheDateReadBack) {
    String target = make_file("dated.bin", "data");
    const DateTime dates[] = {date(1999, 7, 4, 13, 5, 9), date(2001, 2, 3, 0, 0, 1), date(2030, 12, 31, 23, 59, 59)};
    for (const DateTime& stamp : dates) {
        File file;
        // As the installer does after storing a file: reopened for writing.
        ASSERT_TRUE(file.open(target.text(), false, true, false));
        ASSERT_TRUE(file.set_date(stamp));
        file.close();
        ASSERT_TRUE(file.open_for_reading(target.text(), false));
        DateTime read_back;
        ASSERT_TRUE(file.get_date(read_back));
        expect_same_date(read_back, stamp);
        expect_same_date(file.get_date(), stamp);
    }
}

TEST_F(FileTest, ADateSetBeforeClosingOutlastsTheWritesBeforeIt) {
    String target = path("fresh.bin");
    File file;
    ASSERT_TRUE(file.create(target.text(), true));
    ASSERT_TRUE(file.write("payload", 7));
    ASSERT_TRUE(file.set_date(date(1998, 1, 2, 3, 4, 5)));
    file.close();
    ASSERT_TRUE(file.open_for_reading(target.text(), false));
    expect_same_date(file.get_date(), date(1998, 1, 2, 3, 4, 5));
}

TEST_F(FileTest, AnImpossibleDateIsRefusedAndLeavesTheFileAlone) {
    String target = make_file("dated.bin", "data");
    File file;
    ASSERT_TRUE(file.open(target.text(), true, true, false));
    ASSERT_TRUE(file.set_date(date(2001, 2, 3, 4, 5, 6)));
    const DateTime impossible[] = {
        date(2001, 13, 1, 0, 0, 0), date(2001, 2, 30, 0, 0, 0), date(2001, 2, 3, 24, 0, 0),
        date(2001, 0, 3, 4, 5, 6),
        // 65536 years later would wrap around to the same date.
        date(2001 + 65536, 2, 3, 4, 5, 7)};
    for (const DateTime& d : impossible) EXPECT_FALSE(file.set_date(d)) << d.format().text();
    expect_same_date(file.get_date(), date(2001, 2, 3, 4, 5, 6));
}

TEST_F(FileTest, WriteTextFileReplacesAndAppendTextFileAdds) {
    String target = make_file("log.txt", "a much longer old text");
    EXPECT_TRUE(write_text_file(target.text(), "first\r\n"));
    EXPECT_STREQ(contents(target.text()).text(), "first\r\n");
    EXPECT_TRUE(append_text_file(target.text(), "second\r\n"));
    EXPECT_STREQ(contents(target.text()).text(), "first\r\nsecond\r\n");

    EXPECT_TRUE(write_text_file(target.text(), nullptr));
    EXPECT_STREQ(contents(target.text()).text(), "");

    String fresh = path("new.log");
    EXPECT_TRUE(append_text_file(fresh.text(), "created\n"));
    EXPECT_STREQ(contents(fresh.text()).text(), "created\n");
}

TEST_F(FileTest, TheTextWritersFailWithoutAPlaceToWrite) {
    EXPECT_FALSE(write_text_file(nullptr, "x"));
    EXPECT_FALSE(append_text_file(nullptr, "x"));
    EXPECT_FALSE(write_text_file(path("no\\such\\dir.txt").text(), "x"));
    EXPECT_FALSE(append_text_file(path("no\\such\\dir.txt").text(), "x"));
    String held = make_file("held.txt", "kept");
    File holder;
    ASSERT_TRUE(holder.open_for_reading(held.text(), true));
    EXPECT_FALSE(write_text_file(held.text(), "x"));
    holder.close();
    EXPECT_STREQ(contents(held.text()).text(), "kept");
}

}  // namespace
