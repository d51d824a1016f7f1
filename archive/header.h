// The archive's header record: its nineteen fields in their stored order, the
// typed readers the header is read with, and the decoding and check of the
// stored header block.
//
// The order of the fields is written once, in visit_header_fields: the
// installer reads through it and the `sea` tool writes through it. The readers
// never report a short read: a truncated plain header reads as zeros and
// empty texts, and only the checksum of the whole block decides whether a
// header is accepted.
#pragma once

#include "archive/format.h"
#include "foundation/byte_buffer.h"
#include "foundation/string.h"
#include "platform/datetime.h"

struct ArchiveHeader {
    u32 flags = 0;
    DateTime stub_date;
    u32 stub_checksum = 0;
    i32 file_count = 0;
    i32 payload_size = 0;
    String publisher;
    String product_name;
    String start_menu_folder;
    String default_directory;
    String version_text;
    String product_registry;
    String welcome_text;
    String licence_text;
    String readme_text;
    String batch_before;
    String batch_after;
    String batch_last;
    String uninstall_batch1;
    String uninstall_batch2;
};

// Hands every field to the visitor in the stored order: visit.word for the
// 32-bit numbers, visit.date for the date record, visit.text for the texts.
template <class Header, class Visitor>
void visit_header_fields(Header& header, Visitor& visit) {
    visit.word(header.flags);
    visit.date(header.stub_date);
    visit.word(header.stub_checksum);
    visit.word(header.file_count);
    visit.word(header.payload_size);
    visit.text(header.publisher);
    visit.text(header.product_name);
    visit.text(header.start_menu_folder);
    visit.text(header.default_directory);
    visit.text(header.version_text);
    visit.text(header.product_registry);
    visit.text(header.welcome_text);
    visit.text(header.licence_text);
    visit.text(header.readme_text);
    visit.text(header.batch_before);
    visit.text(header.batch_after);
    visit.text(header.batch_last);
    visit.text(header.uninstall_batch1);
    visit.text(header.uninstall_batch2);
}

// The typed readers. Each returns its buffer so that reads chain; none says
// whether it succeeded (a short read leaves zeros, a text at the end is
// empty).
ByteBuffer& read_u32(ByteBuffer& buffer, u32& value);
ByteBuffer& read_u32(ByteBuffer& buffer, i32& value);
ByteBuffer& read_date(ByteBuffer& buffer, DateTime& value);
ByteBuffer& read_text(ByteBuffer& buffer, String& value);

// Unscrambles the stored header block with the key and decompresses it in
// place; a block that is no LZ block is kept as it is. True when the result's
// checksum equals the key, which is the header's only test.
bool decode_header_block(ByteBuffer& block, u32 header_key);

// Reads the fields from the plain header at the buffer's position; bytes
// behind the last field are ignored.
void read_header_fields(ByteBuffer& plain, ArchiveHeader& header);
