// The PE header fields that signing rewrites: where they are in 32-bit and
// 64-bit programs, the stub checksum that reads them as zero, the entry the
// uninstaller copy drops, and the rule that ends an archive at a certificate
// table behind it.
#include "archive_bytes.h"

#include "archive/memory_input.h"

#include <gtest/gtest.h>

namespace {

const i32 pe_at = 0x80;

// A program's headers as a linker writes them: the DOS header pointing at
// "PE", the file header, and a whole optional header of either kind with
// directory_count data directories; the checksum field and the security
// entry hold the values given. Zeros fill up to size.
Bytes program(bool pe32_plus, u32 checksum, u32 table_offset, u32 table_size, u32 directory_count = 16,
              size_t size = 0x400) {
    Bytes image(size, 0);
    image[0] = 'M';
    image[1] = 'Z';
    store_le32(&image[0x3C], pe_at);
    store_le32(&image[pe_at], 0x00004550u);
    const size_t optional = pe_at + 24;
    const size_t directories = pe_at + 24 + (pe32_plus ? 112 : 96);
    image[pe_at + 20] = static_cast<u8>(directories + 16 * 8 - optional);  // SizeOfOptionalHeader
    image[optional] = 0x0B;
    image[optional + 1] = pe32_plus ? 0x02 : 0x01;
    store_le32(&image[optional + 64], checksum);
    store_le32(&image[directories - 4], directory_count);
    store_le32(&image[directories + 4 * 8], table_offset);
    store_le32(&image[directories + 4 * 8 + 4], table_size);
    for (size_t i = 0x200; i < size; ++i) image[i] = static_cast<u8>(i * 7);
    return image;
}

i32 length(const Bytes& bytes) { return static_cast<i32>(bytes.size()); }

}  // namespace

TEST(ImageFields, AreFoundInBothKindsOfOptionalHeader) {
    struct Case {
        const char* what;
        Bytes image;
        i32 checksum_offset, security_offset;
    };
    Bytes not_a_program = program(false, 0, 0, 0);
    not_a_program[0] = 'X';
    Bytes unknown_magic = program(false, 0, 0, 0);
    unknown_magic[pe_at + 25] = 0x03;
    Bytes whole = program(false, 0, 0, 0);
    Bytes cut(whole.begin(), whole.begin() + 0x100);
    const Case cases[] = {
        {"32-bit", program(false, 1, 0, 0), pe_at + 24 + 64, pe_at + 24 + 128},
        {"64-bit", program(true, 1, 0, 0), pe_at + 24 + 64, pe_at + 24 + 144},
        {"only four directories", program(true, 1, 0, 0, 4), pe_at + 24 + 64, -1},
        {"no MZ", not_a_program, -1, -1},
        {"an unknown optional header", unknown_magic, -1, -1},
        {"cut inside the directories", cut, pe_at + 24 + 64, -1},
    };
    for (const Case& c : cases) {
        ImageFields fields = image_fields_of(c.image.data(), length(c.image));
        EXPECT_EQ(fields.checksum_offset, c.checksum_offset) << c.what;
        EXPECT_EQ(fields.security_offset, c.security_offset) << c.what;
    }
}

TEST(ImageFields, TheStubChecksumReadsWhatSigningRewritesAsZero) {
    for (bool pe32_plus : {false, true}) {
        Bytes bare = program(pe32_plus, 0, 0, 0);
        Bytes rewritten = program(pe32_plus, 0x0008ED0C, 0x1234, 0x5F8);
        EXPECT_EQ(image_checksum(rewritten.data(), length(rewritten)), image_checksum(bare.data(), length(bare)));
        EXPECT_NE(block_checksum(rewritten.data(), length(rewritten)), block_checksum(bare.data(), length(bare)));
        // Any other byte counts, also the ones beside the two fields.
        ImageFields fields = image_fields_of(bare.data(), length(bare));
        for (i32 offset : {fields.checksum_offset - 1, fields.checksum_offset + 4, fields.security_offset - 1,
                           fields.security_offset + 8, 0x3FF}) {
            Bytes changed = bare;
            changed[static_cast<size_t>(offset)] ^= 0x40;
            EXPECT_NE(image_checksum(changed.data(), length(changed)), image_checksum(bare.data(), length(bare)))
                << pe32_plus << " at " << offset;
        }
        // Without a PE header it is the plain block checksum.
        Bytes plain(100, 0x41);
        EXPECT_EQ(image_checksum(plain.data(), length(plain)), block_checksum(plain.data(), length(plain)));
    }
}

TEST(ImageFields, TheUninstallerCopyDropsOnlyAnEntryPointingPastIt) {
    struct Case {
        const char* what;
        u32 table_offset, table_size;
        bool cleared;
    };
    const Case cases[] = {
        {"a table behind the image", 0x2000, 0x600, true},
        {"a table ending one byte past the image", 0x300, 0x101, true},
        {"a table inside the image", 0x300, 0x100, false},
        {"no table", 0, 0, false},
    };
    for (const Case& c : cases) {
        for (bool pe32_plus : {false, true}) {
            Bytes image = program(pe32_plus, 5, c.table_offset, c.table_size);
            Bytes before = image;
            clear_absent_certificate(image.data(), length(image));
            i32 entry = image_fields_of(image.data(), length(image)).security_offset;
            EXPECT_EQ(load_le32(&image[entry]), c.cleared ? 0 : c.table_offset) << c.what;
            EXPECT_EQ(load_le32(&image[entry + 4]), c.cleared ? 0 : c.table_size) << c.what;
            for (size_t i = 0; i < image.size(); ++i) {
                if (static_cast<i32>(i) < entry || static_cast<i32>(i) >= entry + 8) ASSERT_EQ(image[i], before[i]) << i;
            }
        }
    }
}

TEST(ImageFields, AnArchiveEndsAtACertificateTableOnlyWhenTheTableEndsTheFile) {
    struct Case {
        const char* what;
        u32 table_offset, table_size;
        i32 file_size, end;
    };
    const i32 size = 0x3000;
    const Case cases[] = {
        {"a table at the end", 0x2A00, 0x600, size, 0x2A00},
        {"a byte behind the table", 0x2A00, 0x5FF, size, size},
        {"a table past the end", 0x2A00, 0x601, size, size},
        {"a table over the PE header", pe_at, size - pe_at, size, size},
        {"an empty table", size, 0, size, size},
        {"no table", 0, 0, size, size},
    };
    for (const Case& c : cases) {
        ImageFields fields = image_fields_of(program(true, 0, 0, 0).data(), 0x400);
        EXPECT_EQ(archive_end_of(fields, c.table_offset, c.table_size, c.file_size), c.end) << c.what;
    }
    // The same through the file, for both kinds of header.
    for (bool pe32_plus : {false, true}) {
        Bytes file = program(pe32_plus, 0, 0x2A00, 0x600, 16, size);
        MemoryInput input(file.data(), length(file));
        EXPECT_EQ(find_archive_end(input), 0x2A00) << pe32_plus;
        Bytes cut(file.begin(), file.begin() + 0x50);
        MemoryInput short_input(cut.data(), length(cut));
        EXPECT_EQ(find_archive_end(short_input), 0x50) << pe32_plus;
    }
}
