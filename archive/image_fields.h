// The two fields of the executable's PE header that signing rewrites: the
// optional header's CheckSum and the security directory entry, which names
// the certificate table (a file offset and a size) that a signing tool
// appends behind the archive.
//
// Both PE32 and PE32+ headers are understood: the shipped stub is a 32-bit
// program, the stub of the Wine tests a 64-bit one, and the data directories
// sit 16 bytes further into the larger optional header.
#pragma once

#include "archive/block_format.h"

// Where the fields lie in the file, found from the image's first bytes.
struct ImageFields {
    i32 checksum_offset = -1;  // u32 CheckSum; -1 when the bytes are no PE image
    i32 security_offset = -1;  // u32 table offset, u32 table size; -1 when the header has no such entry
};

// How many of the image's first bytes locate_image_fields needs at most:
// the DOS header's pointer, and from there the signature, the file header
// and the optional header up to the security entry.
const i32 image_fields_reach = 0x40;
const i32 nt_headers_reach = 4 + 20 + 152;

// From the DOS header's pointer (pe_offset) and the bytes found there.
ImageFields locate_image_fields(i32 pe_offset, const u8* nt_headers, i32 length);

// From an image held whole in memory.
ImageFields image_fields_of(const u8* image, i32 length);

// The stub checksum: block_checksum of the image with the CheckSum field and
// the security entry read as zero, since signing rewrites both.
u32 image_checksum(const u8* image, i32 length);

// The uninstaller is a copy of the image alone: a security entry that points
// beyond it names a table the copy does not carry, so it is cleared.
void clear_absent_certificate(u8* image, i32 length);

// Where the archive ends in a file of file_size bytes: the start of the
// certificate table when the security entry names one that ends the file and
// lies behind the header; else the file's end.
i32 archive_end_of(const ImageFields& fields, u32 table_offset, u32 table_size, i32 file_size);

// The same, read from the file: the PE header through the Input's seek and
// read (container.h). The file's position is left undefined.
template <class Input>
i32 find_archive_end(Input& file) {
    i32 size = file.size();
    u8 dos[image_fields_reach];
    if (!file.seek(0) || !file.read(dos, image_fields_reach) || dos[0] != 'M' || dos[1] != 'Z') return size;
    i32 pe_offset = static_cast<i32>(load_le32(dos + 0x3C));
    u8 nt[nt_headers_reach];
    if (pe_offset < image_fields_reach || !file.seek(pe_offset)) return size;
    i32 available = size - pe_offset;
    if (available < 4 + 20) return size;
    if (available > nt_headers_reach) available = nt_headers_reach;
    if (!file.read(nt, available)) return size;
    ImageFields fields = locate_image_fields(pe_offset, nt, available);
    if (fields.security_offset < 0) return size;
    const u8* entry = nt + (fields.security_offset - pe_offset);
    return archive_end_of(fields, load_le32(entry), load_le32(entry + 4), size);
}
