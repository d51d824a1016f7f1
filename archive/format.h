// The numbers of the archive format, written down once: the container's magic
// and trailer, the header's option bits, the kinds of file records and their
// shortcut bits, and the corrupt-archive codes with the texts that report
// them. The installer and the `sea` tool both include this file, so the two
// sides cannot disagree about a single value.
//
// The names of the option bits and kinds are the ones the `sea` tool's
// manifests and listings use; the installer never needs them, and the linker
// drops them from it.
#pragma once

#include "foundation/core.h"

// The container: the executable image, the archive start (magic, header
// length, header key), the header block, the payload, and the trailer that
// holds the archive's offset.
const u32 archive_magic = 0x00BC614Eu;
const i32 archive_start_size = 12;
const i32 trailer_size = 4;
// Six little-endian i32 fields: year, month, day, hour, minute, second.
const i32 date_record_size = 24;

// The header's `flags`. The bits not named here are not interpreted.
namespace header_flag {
const u32 must_uninstall_first = 0x001;
const u32 quiet_file_list = 0x002;
const u32 uninstall_support = 0x004;
const u32 confirm_font_removal = 0x010;
const u32 compressed_payload = 0x020;
const u32 always_log = 0x040;
const u32 choose_directory = 0x080;
const u32 automatic = 0x100;
const u32 automatic_uninstall = 0x200;
}  // namespace header_flag

// The `kind` of a file record: where it goes and how it is stored. Every
// other value is a corrupt archive.
const u32 kind_program = 0;
const u32 kind_shared = 1;
const u32 kind_font = 4;
const u32 kind_startup_program = 5;

inline bool is_known_kind(u32 kind) {
    return kind == kind_program || kind == kind_shared || kind == kind_font || kind == kind_startup_program;
}

// A record's `shortcut_flags`, used for programs and startup programs.
const u32 shortcut_desktop = 0x1;
const u32 shortcut_start_menu = 0x2;

// The number in "Error code: %d" of the corrupt-archive report.
namespace corrupt {
const i32 negative_content_size = 5;
const i32 trailer = 10;
const i32 magic = 20;
const i32 header_length = 22;
const i32 header_checksum = 25;
const i32 image_unreadable = 30;
const i32 image_checksum = 40;
const i32 payload_unreadable = 50;
const i32 payload_block = 60;
const i32 empty_name = 70;
const i32 negative_length = 80;
const i32 content_unreadable = 90;
const i32 content_checksum = 100;
const i32 unknown_kind = 110;
const i32 unsafe_name = 120;
}  // namespace corrupt

// The corrupt-archive report, to be formatted with its code.
inline constexpr char corrupt_archive_format[] =
    "This self-extracting archive is corrupt, possibly due to a transmission error or virus.  "
    "The installation cannot proceed.\r\n\r\nAsk your vendor to send you a replacement.\r\n\r\n"
    "Error code: %d";
// The report of an executable that carries no archive (a trailer of 0).
inline constexpr char no_archive_text[] =
    "This program performs installations and uninstallations.\r\n"
    "There is no installation archive present.\r\n"
    "No Uninstallation parameters were specified.\r\n\r\n"
    "You should not delete this program or execute it directly.";
// A disk file of the payload that holds nothing.
inline constexpr char empty_disk_format[] = "The file %s is empty.";

// What each code means, in a few words, for the `sea` tool's reports; null
// for a number that is no code.
const char* corrupt_code_meaning(i32 code);

// Names of the option bits and the kinds, as manifests and listings write them.
struct NamedValue {
    const char* name;
    u32 value;
};
extern const NamedValue header_flag_names[];
extern const i32 header_flag_name_count;
extern const NamedValue kind_names[];
extern const i32 kind_name_count;
// The name of a kind, or null for a value that is no kind.
const char* kind_name(u32 kind);
