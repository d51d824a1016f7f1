// File records and the payload's decoding: a sound record read field by
// field, the code of every damaged record, and the payload's unscrambling
// and decompression with the position left at 0 whatever happens, and the
// one rule for names that would leave their folder.
#include "archive/archive.h"
#include "tests/native/archive_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Record {
    std::string name = "bin\\demo.exe";
    u32 kind = kind_program;
    u32 shortcut_flags = shortcut_desktop | shortcut_start_menu;
    std::string content = "MZ demo program";
    i32 length = -2;      // -2: the content's own length
    u32 checksum = 0;     // 0: the content's own checksum
    std::string label = "Demo";
};

Bytes encode(const Record& record) {
    Bytes out;
    put_text(out, record.name);
    put_word(out, record.kind);
    put_word(out, record.shortcut_flags);
    put_word(out, static_cast<u32>(record.length == -2 ? static_cast<i32>(record.content.size()) : record.length));
    out.insert(out.end(), record.content.begin(), record.content.end());
    u32 sum = block_checksum(reinterpret_cast<const u8*>(record.content.data()),
                             static_cast<i32>(record.content.size()));
    put_word(out, record.checksum ? record.checksum : sum);
    for (u32 field : {1999u, 7u, 4u, 21u, 8u, 6u}) put_word(out, field);
    put_text(out, record.label);
    return out;
}

void fill(ByteBuffer& buffer, const Bytes& bytes) {
    buffer.clear();
    buffer.append_bytes(bytes.data(), static_cast<i32>(bytes.size()));
    buffer.set_position(0);
}

TEST(FileEntry, ReadsASoundRecordAndStopsBehindIt) {
    Bytes stream = encode(Record());
    Record second;
    second.name = "fonts.ttf";
    second.kind = kind_font;
    Bytes more = encode(second);
    stream.insert(stream.end(), more.begin(), more.end());
    ByteBuffer payload;
    fill(payload, stream);

    FileEntry entry;
    ASSERT_EQ(parse_file_entry(payload, entry), 0);
    EXPECT_STREQ(entry.name.text(), "bin\\demo.exe");
    EXPECT_EQ(entry.kind, kind_program);
    EXPECT_EQ(entry.shortcut_flags, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(entry.content.data()), entry.content.size()), "MZ demo program");
    EXPECT_EQ(entry.content.position(), 0);
    // The date's six words in archive order: year, month, day, hour,
    // minute, second.
    EXPECT_EQ(entry.date.year, 1999);
    EXPECT_EQ(entry.date.month, 7);
    EXPECT_EQ(entry.date.day, 4);
    EXPECT_EQ(entry.date.hour, 21);
    EXPECT_EQ(entry.date.minute, 8);
    EXPECT_EQ(entry.date.second, 6);
    EXPECT_STREQ(entry.label.text(), "Demo");
    EXPECT_EQ(payload.position(), static_cast<i32>(stream.size() - more.size()));

    FileEntry font;
    ASSERT_EQ(parse_file_entry(payload, font), 0);
    EXPECT_STREQ(font.name.text(), "fonts.ttf");
    EXPECT_EQ(font.kind, kind_font);
    EXPECT_TRUE(payload.at_end());
}

TEST(FileEntry, AnEmptyContentCarriesTheInitialChecksum) {
    Record record;
    record.content = "";
    Bytes stream = encode(record);
    ByteBuffer payload;
    fill(payload, stream);
    FileEntry entry;
    EXPECT_EQ(parse_file_entry(payload, entry), 0);
    EXPECT_EQ(entry.checksum, 0x79E2BC9Du);
    EXPECT_EQ(entry.content.size(), 0);
}

TEST(FileEntry, EachDamageHasItsCode) {
    struct Case {
        const char* what;
        Record record;
        size_t cut;  // bytes kept of the encoded record; 0: all
        i32 code;
    };
    Record empty_name, negative, too_long, huge, wrong_sum, unknown_kind, unsafe, unsafe_and_unknown, unsafe_and_cut;
    empty_name.name = "";
    unsafe.name = "..\\evil.exe";
    unsafe_and_unknown.name = "C:\\evil.exe";
    unsafe_and_unknown.kind = 2;
    unsafe_and_cut.name = "\\evil.exe";
    unsafe_and_cut.checksum = 0x12345678;
    negative.length = -1;
    too_long.length = 16;
    huge.length = 0x7FFFFFFF;
    wrong_sum.checksum = 0x12345678;
    unknown_kind.kind = 2;
    const Case cases[] = {
        {"an empty name", empty_name, 0, 70},
        {"a negative length", negative, 0, 80},
        {"a length one beyond the content", too_long, 0, 100},
        {"a length beyond the payload", huge, 0, 90},
        {"a content cut short", Record(), 13 + 12 + 5, 90},
        {"a wrong checksum", wrong_sum, 0, 100},
        {"an unknown kind, left to the caller", unknown_kind, 0, 0},
        {"a name leaving its folder", unsafe, 0, 120},
        {"an unsafe name before the caller's kind check", unsafe_and_unknown, 0, 120},
        {"an unsafe name after the record's own checks", unsafe_and_cut, 0, 100},
    };
    for (const Case& c : cases) {
        Bytes stream = encode(c.record);
        if (c.cut) stream.resize(c.cut);
        ByteBuffer payload;
        fill(payload, stream);
        FileEntry entry;
        EXPECT_EQ(parse_file_entry(payload, entry), c.code) << c.what;
    }
}

TEST(FileEntry, RunningOutOfRecordsReadsAnEmptyName) {
    ByteBuffer payload;
    fill(payload, encode(Record()));
    FileEntry entry;
    ASSERT_EQ(parse_file_entry(payload, entry), 0);
    EXPECT_EQ(parse_file_entry(payload, entry), 70);
}

TEST(FileEntry, ARecordRefusedForItsNameIsReadToItsEnd) {
    Record unsafe;
    unsafe.name = "a\\..\\..\\evil.exe";
    Bytes stream = encode(unsafe);
    ByteBuffer payload;
    fill(payload, stream);
    FileEntry entry;
    EXPECT_EQ(parse_file_entry(payload, entry), 120);
    EXPECT_STREQ(entry.label.text(), "Demo");
    EXPECT_TRUE(payload.at_end());
}

TEST(EntryNames, OnlyNamesThatStayBelowTheirFolderAreSafe) {
    struct Case {
        const char* name;
        NameFault fault;
    };
    const Case cases[] = {
        {"a.txt", NameFault::none},
        {"docs\\notes.txt", NameFault::none},
        {"bin/startup.txt", NameFault::none},
        {"...", NameFault::none},
        {"..x\\x..\\a..b", NameFault::none},
        {"a\\...\\b", NameFault::none},
        {".\\a\\\\b\\", NameFault::none},
        {"\\a.txt", NameFault::absolute},
        {"/a.txt", NameFault::absolute},
        {"\\\\server\\share\\a.txt", NameFault::absolute},
        {"C:\\a.txt", NameFault::drive},
        {"C:a.txt", NameFault::drive},
        {"sub\\a.txt:stream", NameFault::drive},
        {"..", NameFault::parent},
        {"..\\a.txt", NameFault::parent},
        {"a\\..\\..\\b.txt", NameFault::parent},
        {"a/../b.txt", NameFault::parent},
        {"a\\..", NameFault::parent},
        {"a/..", NameFault::parent},
        {"a\\\\..\\b", NameFault::parent},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(entry_name_fault(c.name), c.fault) << "\"" << c.name << "\"";
        EXPECT_EQ(is_safe_entry_name(c.name), c.fault == NameFault::none) << "\"" << c.name << "\"";
    }
}

TEST(FileEntry, AnUnknownKindIsReadToTheEndOfItsRecord) {
    for (u32 kind : {2u, 3u, 6u, 0xFFFFFFFFu}) {
        Record record;
        record.kind = kind;
        Bytes stream = encode(record);
        ByteBuffer payload;
        fill(payload, stream);
        FileEntry entry;
        EXPECT_EQ(parse_file_entry(payload, entry), 0);
        EXPECT_FALSE(is_known_kind(entry.kind)) << kind;
        EXPECT_STREQ(entry.label.text(), "Demo");
    }
    for (u32 kind : {kind_program, kind_shared, kind_font, kind_startup_program}) EXPECT_TRUE(is_known_kind(kind));
}

TEST(Payload, ACompressedPayloadIsUnscrambledWithItsSizeAndDecoded) {
    // Literals "abc", then a run of seven x: 11 bytes, so the key is 11.
    Bytes block = {0xA0, 0x2B, 0xC7, 0x9E, 0x03, 'a', 'b', 'c', 0x80, 'x', 0x01};
    for (u8& byte : block) byte ^= static_cast<u8>(block.size());
    ByteBuffer payload;
    fill(payload, block);
    payload.set_position(5);
    ASSERT_TRUE(unpack_payload(payload, header_flag::compressed_payload | header_flag::uninstall_support));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(payload.data()), payload.size()), "abcxxxxxxx");
    EXPECT_EQ(payload.position(), 0);
}

TEST(Payload, BytesThatAreNoBlockAreCode60) {
    ByteBuffer payload;
    fill(payload, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    payload.set_position(8);
    EXPECT_FALSE(unpack_payload(payload, header_flag::compressed_payload));
    EXPECT_EQ(payload.position(), 0);
    ByteBuffer empty;
    EXPECT_FALSE(unpack_payload(empty, header_flag::compressed_payload));
}

TEST(Payload, WithoutTheFlagTheBytesAreTheRecords) {
    Bytes stream = encode(Record());
    ByteBuffer payload;
    fill(payload, stream);
    payload.set_position(3);
    ASSERT_TRUE(unpack_payload(payload, header_flag::uninstall_support));
    EXPECT_EQ(payload.position(), 0);
    EXPECT_EQ(payload.size(), static_cast<i32>(stream.size()));
    FileEntry entry;
    EXPECT_EQ(parse_file_entry(payload, entry), 0);
}

}  // namespace
