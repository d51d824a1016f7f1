// Finding the archive behind an executable image and loading its header: the
// trailer, the archive start (magic, header length, header key) and the
// header block, with the corrupt-archive code of every way it can fail.
//
// One template serves both sides: the installer hands in its open File, the
// `sea` tool a MemoryInput over the file's bytes. Either gives seek,
// seek_from_end, tell, size and read with the File object's meanings (a seek
// beyond the end succeeds; the next read fails), so both name the same code
// for the same damaged file.
#pragma once

#include "archive/block_format.h"
#include "archive/header.h"
#include "archive/image_fields.h"

// What read_archive_header returns besides a corrupt-archive code.
const i32 archive_loaded = 0;
const i32 archive_absent = -1;

// The HeaderReader's word from the file. A word that cannot be read is 0,
// which fails the test of every field it is read for.
template <class Input>
Input& read_file_u32(Input& file, u32& value) {
    u8 bytes[4];
    value = file.read(bytes, 4) ? load_le32(bytes) : 0;
    return file;
}

// Finds the archive and loads its header. Returns archive_loaded, with the
// file positioned just behind the header block where the payload starts and
// archive_end where the trailer ends (the file's end, or the start of the
// certificate table that signing appends);
// archive_absent for a trailer of 0; else the corrupt-archive code (10, 20,
// 22 or 25). Corrupt tokens inside the header block end the process with the
// codec's "Decompress error" report.
template <class Input>
i32 read_archive_header(Input& file, i32& archive_offset, i32& archive_end, ArchiveHeader& header) {
    archive_end = find_archive_end(file);
    u8 bytes[trailer_size];
    if (archive_end < trailer_size || !file.seek(archive_end - trailer_size) || !file.read(bytes, trailer_size))
        return corrupt::trailer;
    i32 trailer = static_cast<i32>(load_le32(bytes));
    if (trailer == 0) return archive_absent;
    if (trailer < 0 || !file.seek(trailer)) return corrupt::trailer;
    archive_offset = trailer;

    u32 magic, length, key;
    read_file_u32(file, magic);
    if (magic != archive_magic) return corrupt::magic;
    read_file_u32(file, length);
    i32 header_length = static_cast<i32>(length);
    if (header_length < 1) return corrupt::header_length;
    read_file_u32(file, key);

    // A block longer than what is left of the archive cannot be read whole:
    // that fails the checksum test, before any memory is asked for it.
    i32 position = file.tell();
    i32 size = archive_end;
    if (position < 0 || size < position || header_length > size - position) return corrupt::header_checksum;
    ByteBuffer block(header_length);
    if (!file.read(block.data(), header_length)) return corrupt::header_checksum;
    if (!decode_header_block(block, key)) return corrupt::header_checksum;
    read_header_fields(block, header);
    return archive_loaded;
}

template <class Input>
i32 read_archive_header(Input& file, i32& archive_offset, ArchiveHeader& header) {
    i32 archive_end = 0;
    return read_archive_header(file, archive_offset, archive_end, header);
}
