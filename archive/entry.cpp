// Reading file records. A record's length comes from the archive, so it is
// measured against the bytes that are left before any memory is asked for
// it: a damaged length is the corrupt-archive report it deserves, never an
// attempt to allocate two gigabytes.
#include "archive/entry.h"

#include "archive/codec.h"

bool unpack_payload(ByteBuffer& payload, u32 flags) {
    bool unpacked = true;
    if (flags & header_flag::compressed_payload) {
        xor_scramble_byte(payload, static_cast<u8>(payload.size()));
        unpacked = decompress_in_place(payload);
    }
    payload.set_position(0);
    return unpacked;
}

i32 parse_file_entry(ByteBuffer& payload, FileEntry& out) {
    read_text(payload, out.name);
    if (out.name.is_empty()) return corrupt::empty_name;
    i32 length;
    read_u32(read_u32(read_u32(payload, out.kind), out.shortcut_flags), length);
    if (length < 0) return corrupt::negative_length;
    i32 position = payload.position();
    i32 left = position >= 0 && position < payload.size() ? payload.size() - position : 0;
    if (length > left) return corrupt::content_unreadable;
    out.content.set_size(length);
    out.content.set_position(0);
    payload.read(out.content.data(), length);
    read_u32(payload, out.checksum);
    if (buffer_checksum(out.content) != out.checksum) return corrupt::content_checksum;
    read_text(read_date(payload, out.date), out.label);
    return 0;
}
