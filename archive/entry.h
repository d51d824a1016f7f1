// The payload's file records and the decoding of the payload as a whole.
//
// A record is, in this order: the name (a text), the kind, the shortcut bits
// and the content's length (32-bit words), the content, its checksum (a
// word), the date (six words) and the label (a text). Records lie back to
// back from the start of the plain payload. The readers here are portable and
// report a damaged record by its corrupt-archive code; the installer turns
// the code into its fatal report, the `sea` tool into a message.
#pragma once

#include "archive/header.h"

struct FileEntry {
    String name;
    u32 kind = 0;
    u32 shortcut_flags = 0;
    ByteBuffer content;
    u32 checksum = 0;
    DateTime date;
    String label;
};

// Undoes the payload's encoding when flags has compressed_payload (the byte
// scrambling keyed with the low byte of its size, then the LZ block) and
// leaves the position at 0 in every case. False, with the position at 0,
// when the gathered bytes are not a block: corrupt::payload_block.
bool unpack_payload(ByteBuffer& payload, u32 flags);

// Why a record's name would be written outside its base folder: it is
// absolute (starts with a backslash or slash), holds a colon (a drive, or a
// stream of another file), or has a ".." part between backslashes or slashes.
// Every other name stays below its folder, odd ones ("...", "..x", empty or
// "." parts) included.
enum class NameFault { none, absolute, drive, parent };
NameFault entry_name_fault(const char* name);
inline bool is_safe_entry_name(const String& name) { return entry_name_fault(name.text()) == NameFault::none; }
// The fault in a few words, for the `sea` tool's messages; unused by the
// installer, which reports code 120 alone.
const char* name_fault_meaning(NameFault fault);

// Reads the record at the payload's position into out. Returns 0 for a sound
// record, else the code of the first check it fails: empty name (70, also
// when the payload has run out), negative length (80), content beyond the
// payload (90), wrong checksum (100), and, once the whole record has been
// read, a name that is not safe (120). The kind is left to the caller, which
// checks it only for a record this accepts (110): a record with an unsafe
// name and an unknown kind is 120, since its name is wrong whatever its kind.
i32 parse_file_entry(ByteBuffer& payload, FileEntry& out);
