// The names of the archive format's values and the meanings of its
// corrupt-archive codes, for the `sea` tool's manifests, listings and reports.
#include "archive/format.h"

const char* corrupt_code_meaning(i32 code) {
    switch (code) {
        case corrupt::negative_content_size: return "a file's content has a negative size";
        case corrupt::trailer: return "the trailer is negative or cannot be reached";
        case corrupt::magic: return "the archive magic is wrong";
        case corrupt::header_length: return "the header length is below 1";
        case corrupt::header_checksum: return "the header's checksum is wrong";
        case corrupt::image_unreadable: return "the executable image cannot be read";
        case corrupt::image_checksum: return "the executable image's checksum is wrong";
        case corrupt::payload_unreadable: return "a part of the payload cannot be read";
        case corrupt::payload_block: return "the payload cannot be decompressed";
        case corrupt::empty_name: return "a file record has an empty name";
        case corrupt::negative_length: return "a file record's length is negative";
        case corrupt::content_unreadable: return "a file record's content runs past the payload";
        case corrupt::content_checksum: return "a file record's checksum is wrong";
        case corrupt::unknown_kind: return "a file record's kind is unknown";
        case corrupt::unsafe_name: return "a file record's name leaves its folder";
    }
    return nullptr;
}

const NamedValue header_flag_names[] = {
    {"must_uninstall_first", header_flag::must_uninstall_first},
    {"quiet_file_list", header_flag::quiet_file_list},
    {"uninstall_support", header_flag::uninstall_support},
    {"confirm_font_removal", header_flag::confirm_font_removal},
    {"compressed_payload", header_flag::compressed_payload},
    {"always_log", header_flag::always_log},
    {"choose_directory", header_flag::choose_directory},
    {"automatic", header_flag::automatic},
    {"automatic_uninstall", header_flag::automatic_uninstall},
};
const i32 header_flag_name_count = sizeof header_flag_names / sizeof header_flag_names[0];

const NamedValue kind_names[] = {
    {"program", kind_program},
    {"shared", kind_shared},
    {"font", kind_font},
    {"startup", kind_startup_program},
};
const i32 kind_name_count = sizeof kind_names / sizeof kind_names[0];

const char* kind_name(u32 kind) {
    for (i32 i = 0; i < kind_name_count; ++i) {
        if (kind_names[i].value == kind) return kind_names[i].name;
    }
    return nullptr;
}
