// Reading the header record. Every number is decoded from its little-endian
// bytes, never copied as a structure, so the reader means the same on every
// machine that builds it.
#include "archive/header.h"

#include "archive/codec.h"

namespace {

struct FieldReader {
    ByteBuffer& buffer;
    void word(u32& value) { read_u32(buffer, value); }
    void word(i32& value) { read_u32(buffer, value); }
    void date(DateTime& value) { read_date(buffer, value); }
    void text(String& value) { read_text(buffer, value); }
};

}  // namespace

ByteBuffer& read_u32(ByteBuffer& buffer, u32& value) {
    u8 bytes[4];
    buffer.read(bytes, 4);
    value = load_le32(bytes);
    return buffer;
}

ByteBuffer& read_u32(ByteBuffer& buffer, i32& value) {
    u32 word;
    read_u32(buffer, word);
    value = static_cast<i32>(word);
    return buffer;
}

ByteBuffer& read_date(ByteBuffer& buffer, DateTime& value) {
    u8 bytes[date_record_size];
    buffer.read(bytes, date_record_size);
    i32* fields[] = {&value.year, &value.month, &value.day, &value.hour, &value.minute, &value.second};
    for (int i = 0; i < 6; ++i) *fields[i] = static_cast<i32>(load_le32(bytes + 4 * i));
    return buffer;
}

ByteBuffer& read_text(ByteBuffer& buffer, String& value) {
    buffer.read_string(value);
    return buffer;
}

bool decode_header_block(ByteBuffer& block, u32 header_key) {
    xor_scramble_dword(block, header_key);
    // Not a block: the bytes are taken as the plain header, and the checksum
    // alone decides.
    if (!decompress_in_place(block)) block.set_position(0);
    return buffer_checksum(block) == header_key;
}

void read_header_fields(ByteBuffer& plain, ArchiveHeader& header) {
    FieldReader reader = {plain};
    visit_header_fields(header, reader);
}
