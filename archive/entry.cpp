// Reading file records. A record's length comes from the archive, so it is
// measured against the bytes that are left before any memory is asked for
// it: a damaged length is the corrupt-archive report it deserves, never an
// attempt to allocate two gigabytes. A name is judged only once the whole
// record is read, so that a record refused for its name has been read to its
// end, like one refused for its kind.
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

NameFault entry_name_fault(const char* name) {
    if (*name == '\\' || *name == '/') return NameFault::absolute;
    const char* part = name;
    for (const char* at = name;; ++at) {
        if (*at == ':') return NameFault::drive;
        if (*at != '\\' && *at != '/' && *at != 0) continue;
        if (at - part == 2 && part[0] == '.' && part[1] == '.') return NameFault::parent;
        if (*at == 0) return NameFault::none;
        part = at + 1;
    }
}

const char* name_fault_meaning(NameFault fault) {
    switch (fault) {
        case NameFault::none: break;
        case NameFault::absolute: return "the name starts at the root of a drive";
        case NameFault::drive: return "the name holds a drive (a colon)";
        case NameFault::parent: return "the name has a \"..\" part, which leaves its folder";
    }
    return "";
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
    if (!is_safe_entry_name(out.name)) return corrupt::unsafe_name;
    return 0;
}
