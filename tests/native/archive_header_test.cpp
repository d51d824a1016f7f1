// The archive container and its header: every field in its stored order, the
// header block in its stored and its plain form, and the code of each way an
// executable's archive can be damaged, read the way the installer reads its
// own file (MemoryInput behaves like the File object).
#include "archive/archive.h"
#include "tests/native/archive_bytes.h"
#include "archive/memory_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// All nineteen fields, in the order of the format's table, each with a value
// of its own.
Bytes full_plain_header() {
    Bytes plain;
    put_word(plain, 0x125);
    for (u32 field : {2001u, 2u, 3u, 14u, 5u, 9u}) put_word(plain, field);
    put_word(plain, 0xCAFEF00D);
    put_word(plain, 7);
    put_word(plain, 12345);
    const char* texts[] = {"Vendor", "Demo", "Demo Menu", "C:\\Demo", "1.5", "Software\\Vendor\\Demo",
                           "Welcome to <product>", "Licence", "Readme", "rem before", "rem after",
                           "rem last", "rem un1", "rem un2"};
    for (const char* text : texts) put_text(plain, text);
    return plain;
}

// The plain header stored as an LZ block of literals.
Bytes literal_block(const Bytes& plain) {
    Bytes block = {0xA0, 0x2B, 0xC7, 0x9E, 0x00, 0, 0};
    store_le16(&block[5], static_cast<u32>(plain.size()));
    block.insert(block.end(), plain.begin(), plain.end());
    return block;
}

u32 checksum(const Bytes& bytes) { return block_checksum(bytes.data(), static_cast<i32>(bytes.size())); }

const Bytes image = {'M', 'Z', 1, 2, 3, 0, 0, 0, 0};

// An installer: the image, the archive start, the scrambled header block, the
// payload and the trailer.
Bytes installer(const Bytes& stored, u32 key, const Bytes& payload = {'p', 'a', 'y'}) {
    Bytes file = image;
    put_word(file, archive_magic);
    put_word(file, static_cast<u32>(stored.size()));
    put_word(file, key);
    Bytes scrambled = stored;
    xor_scramble_dword_range(scrambled.data(), static_cast<i32>(scrambled.size()), key);
    file.insert(file.end(), scrambled.begin(), scrambled.end());
    file.insert(file.end(), payload.begin(), payload.end());
    put_word(file, static_cast<u32>(image.size()));
    return file;
}

Bytes sound_installer() {
    Bytes plain = full_plain_header();
    return installer(literal_block(plain), checksum(plain));
}

i32 load(const Bytes& file, ArchiveHeader& header, i32& offset, i32* position = nullptr) {
    MemoryInput input(file.data(), static_cast<i32>(file.size()));
    i32 result = read_archive_header(input, offset, header);
    if (position) *position = input.tell();
    return result;
}

i32 load(const Bytes& file) {
    ArchiveHeader header;
    i32 offset = 0;
    return load(file, header, offset);
}

void set_word(Bytes& file, size_t at, u32 value) { store_le32(&file[at], value); }

TEST(ArchiveHeader, ReadsEveryFieldInTheStoredOrder) {
    ArchiveHeader header;
    i32 offset = 0, position = 0;
    Bytes file = sound_installer();
    ASSERT_EQ(load(file, header, offset, &position), archive_loaded);
    EXPECT_EQ(offset, static_cast<i32>(image.size()));
    // The payload starts right behind the header block.
    EXPECT_EQ(position, static_cast<i32>(file.size()) - 4 - 3);
    EXPECT_EQ(header.flags, 0x125u);
    EXPECT_EQ(header.stub_date.year, 2001);
    EXPECT_EQ(header.stub_date.month, 2);
    EXPECT_EQ(header.stub_date.day, 3);
    EXPECT_EQ(header.stub_date.hour, 14);
    EXPECT_EQ(header.stub_date.minute, 5);
    EXPECT_EQ(header.stub_date.second, 9);
    EXPECT_EQ(header.stub_checksum, 0xCAFEF00Du);
    EXPECT_EQ(header.file_count, 7);
    EXPECT_EQ(header.payload_size, 12345);
    const String* texts[] = {&header.publisher,        &header.product_name,  &header.start_menu_folder,
                             &header.default_directory, &header.version_text, &header.product_registry,
                             &header.welcome_text,     &header.licence_text,  &header.readme_text,
                             &header.batch_before,     &header.batch_after,   &header.batch_last,
                             &header.uninstall_batch1, &header.uninstall_batch2};
    const char* expected[] = {"Vendor", "Demo", "Demo Menu", "C:\\Demo", "1.5", "Software\\Vendor\\Demo",
                              "Welcome to <product>", "Licence", "Readme", "rem before", "rem after",
                              "rem last", "rem un1", "rem un2"};
    for (int i = 0; i < 14; ++i) EXPECT_STREQ(texts[i]->text(), expected[i]) << "text field " << i + 6;
}

TEST(ArchiveHeader, APlainBlockIsUsedWhenItsChecksumIsTheKey) {
    Bytes plain = full_plain_header();
    ArchiveHeader header;
    i32 offset = 0;
    ASSERT_EQ(load(installer(plain, checksum(plain)), header, offset), archive_loaded);
    EXPECT_STREQ(header.product_name.text(), "Demo");
    EXPECT_STREQ(header.uninstall_batch2.text(), "rem un2");
}

TEST(ArchiveHeader, AHeaderEndingAfterTheFlagsLeavesZerosAndEmptyTexts) {
    Bytes plain;
    put_word(plain, header_flag::automatic);
    ArchiveHeader header;
    header.publisher = "stale";
    i32 offset = 0;
    ASSERT_EQ(load(installer(plain, checksum(plain)), header, offset), archive_loaded);
    EXPECT_EQ(header.flags, header_flag::automatic);
    EXPECT_EQ(header.stub_date.month, 0);
    EXPECT_EQ(header.file_count, 0);
    EXPECT_EQ(header.payload_size, 0);
    EXPECT_TRUE(header.publisher.is_empty());
    EXPECT_TRUE(header.uninstall_batch2.is_empty());
}

TEST(ArchiveHeader, ATrailerOfZeroMeansNoArchive) {
    EXPECT_EQ(load(Bytes{'M', 'Z', 0, 0, 0, 0}), archive_absent);
    EXPECT_EQ(load(Bytes{0, 0, 0, 0}), archive_absent);
}

TEST(ArchiveHeader, EachDamageHasItsCode) {
    const size_t start = image.size();
    const size_t block_start = start + archive_start_size;
    struct Case {
        const char* what;
        void (*damage)(Bytes& file, size_t start, size_t block_start);
        i32 code;
    };
    const Case cases[] = {
        {"negative trailer", [](Bytes& f, size_t, size_t) { set_word(f, f.size() - 4, 0xFFFFFFFF); }, 10},
        {"file shorter than a trailer", [](Bytes& f, size_t, size_t) { f.assign({1, 0, 0}); }, 10},
        {"trailer behind the end", [](Bytes& f, size_t, size_t) { set_word(f, f.size() - 4, 100000); },
         20},
        {"trailer at the trailer", [](Bytes& f, size_t, size_t) { set_word(f, f.size() - 4, f.size() - 4); },
         20},
        {"magic", [](Bytes& f, size_t s, size_t) { f[s + 2] ^= 0x01; }, 20},
        {"header length 0", [](Bytes& f, size_t s, size_t) { set_word(f, s + 4, 0); }, 22},
        {"negative header length", [](Bytes& f, size_t s, size_t) { set_word(f, s + 4, 0x80000000); }, 22},
        {"header length beyond the file", [](Bytes& f, size_t s, size_t) { set_word(f, s + 4, 0x7FFFFFFF); },
         25},
        {"header key", [](Bytes& f, size_t s, size_t) { f[s + 8] ^= 0x40; }, 25},
        {"a literal byte of the header block", [](Bytes& f, size_t, size_t b) { f[b + 10] ^= 0x01; }, 25},
        {"the block's magic", [](Bytes& f, size_t, size_t b) { f[b] ^= 0x01; }, 25},
    };
    for (const Case& c : cases) {
        Bytes file = sound_installer();
        c.damage(file, start, block_start);
        EXPECT_EQ(load(file), c.code) << c.what;
    }
}

TEST(ArchiveHeader, CorruptTokensInTheHeaderBlockEndTheRun) {
    // A back-reference before the start of the output.
    Bytes stored = {0xA0, 0x2B, 0xC7, 0x9E, 0x01, 'a', 0xFF, 0x00, 0x00};
    Bytes file = installer(stored, 0x1234);
    EXPECT_EXIT(load(file), ::testing::ExitedWithCode(1), "Decompress error 1: 1 4 1");
}

}  // namespace
