// Locating the PE header's CheckSum and security entry, and the three uses of
// them: the stub checksum that ignores what signing rewrites, the cleared
// entry of the uninstaller copy, and the end of an archive that a
// certificate table follows.
#include "archive/image_fields.h"

#include "archive/block_format.h"
#include "archive/codec.h"
#include "archive/format.h"

namespace {

const u32 pe_signature = 0x00004550u;  // "PE\0\0"
const u32 optional_magic_pe32 = 0x10B;
const u32 optional_magic_pe32_plus = 0x20B;
const i32 file_header_size = 20;
const i32 checksum_in_optional = 64;
const i32 security_directory = 4;
const i32 directory_entry_size = 8;

// What a byte at offset contributes to block_checksum of length bytes: its
// place in a little-endian word, or its signed value in the tail.
u32 checksum_share(const u8* image, i32 length, i32 offset) {
    if (offset < (length / 4) * 4) return static_cast<u32>(image[offset]) << (8 * (offset % 4));
    return static_cast<u32>(static_cast<i32>(static_cast<int8_t>(image[offset])));
}

}  // namespace

ImageFields locate_image_fields(i32 pe_offset, const u8* nt, i32 length) {
    ImageFields fields;
    if (pe_offset < image_fields_reach || length < 4 + file_header_size + 2 || load_le32(nt) != pe_signature)
        return fields;
    i32 optional_size = static_cast<i32>(load_le16(nt + 4 + 16));
    const i32 optional = 4 + file_header_size;
    u32 magic = load_le16(nt + optional);
    i32 count_at, directories_at;
    if (magic == optional_magic_pe32) {
        count_at = 92;
        directories_at = 96;
    } else if (magic == optional_magic_pe32_plus) {
        count_at = 108;
        directories_at = 112;
    } else {
        return fields;
    }
    if (optional_size < checksum_in_optional + 4 || length < optional + checksum_in_optional + 4) return fields;
    fields.checksum_offset = pe_offset + optional + checksum_in_optional;
    i32 entry = directories_at + security_directory * directory_entry_size;
    if (optional_size < entry + directory_entry_size || length < optional + entry + directory_entry_size ||
        load_le32(nt + optional + count_at) <= static_cast<u32>(security_directory)) {
        return fields;
    }
    fields.security_offset = pe_offset + optional + entry;
    return fields;
}

ImageFields image_fields_of(const u8* image, i32 length) {
    if (!image || length < image_fields_reach || image[0] != 'M' || image[1] != 'Z') return ImageFields();
    u32 pe_offset = load_le32(image + 0x3C);
    if (pe_offset >= static_cast<u32>(length)) return ImageFields();
    i32 at = static_cast<i32>(pe_offset);
    return locate_image_fields(at, image + at, length - at);
}

u32 image_checksum(const u8* image, i32 length) {
    u32 sum = block_checksum(image, length);
    ImageFields fields = image_fields_of(image, length);
    struct Range {
        i32 start, size;
    };
    const Range ignored[] = {{fields.checksum_offset, 4}, {fields.security_offset, directory_entry_size}};
    for (const Range& range : ignored) {
        if (range.start < 0) continue;
        for (i32 i = range.start; i < range.start + range.size && i < length; ++i)
            sum -= checksum_share(image, length, i);
    }
    return sum;
}

void clear_absent_certificate(u8* image, i32 length) {
    ImageFields fields = image_fields_of(image, length);
    if (fields.security_offset < 0) return;
    u8* entry = image + fields.security_offset;
    uint64_t end = static_cast<uint64_t>(load_le32(entry)) + load_le32(entry + 4);
    if (end <= static_cast<uint64_t>(length)) return;
    store_le32(entry, 0);
    store_le32(entry + 4, 0);
}

i32 archive_end_of(const ImageFields& fields, u32 table_offset, u32 table_size, i32 file_size) {
    if (fields.security_offset < 0 || table_offset == 0 || table_size == 0) return file_size;
    // The trailer must still fit between the header and the table.
    bool behind_header = static_cast<uint64_t>(table_offset) >=
                         static_cast<uint64_t>(fields.security_offset) + directory_entry_size + trailer_size;
    bool ends_file = static_cast<uint64_t>(table_offset) + table_size == static_cast<uint64_t>(file_size);
    return behind_header && ends_file ? static_cast<i32>(table_offset) : file_size;
}
