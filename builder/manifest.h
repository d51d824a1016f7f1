// The manifest of `sea build`: a TOML file that names the product, its
// texts and batches, the option bits, and the files of the archive.
//
// Loading a manifest checks all of it before a single byte of an installer
// is written: unknown keys, sources that are missing, names that are empty
// or would leave their base directory, shared files without
// uninstall_support, two names that Windows sees as one, dates that no
// Windows file can carry, texts the installer cannot hold (with the line and
// column of the first character that does not fit), and files or payloads
// beyond the format's signed 32-bit sizes. Every message names the manifest,
// the line and the entry it is about. Texts and names come in as UTF-8 and
// leave in the ANSI code page of the installer (Windows-1252), texts with CR
// LF line ends.
#pragma once

#include "builder/writer.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A manifest that cannot be built; the message names the entry.
class ManifestError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One file of the archive, after a directory or pattern has been expanded.
struct ManifestFile {
    std::string source;  // the host path
    std::string name;    // the name in the archive: ANSI, backslashes
    u32 kind = kind_program;
    u32 shortcut_flags = 0;
    std::string label;   // ANSI
    DateTime date;
    uint64_t size = 0;   // the source's size when the manifest was loaded
    std::string entry;   // where it comes from, for messages
};

struct Manifest {
    std::string path;
    ArchiveHeader header;  // every field but the ones the packing fills in
    std::vector<ManifestFile> files;
    // What is legal but most likely wrong: no files, dates before 1980, a
    // name packed twice. `sea build` and `sea check` show them.
    std::vector<std::string> warnings;
    // The text files the manifest names (licence_file...), for the check
    // that a build does not overwrite what it reads.
    std::vector<std::string> text_files;
};

struct ManifestOptions {
    // SOURCE_DATE_EPOCH: no file date taken from the disk is later than this.
    std::optional<int64_t> source_date_epoch;
    // Checks the plain payload against the compressed block's limit.
    size_t payload_limit = max_block_input;
};

Manifest load_manifest(const std::string& path, const ManifestOptions& options = ManifestOptions());

// A local date (the build machine's time zone) for a time in seconds since
// 1970, and back.
DateTime local_date(int64_t seconds);
int64_t seconds_of_local_date(const DateTime& date);

// The name checks of the archive: the installer's own rule (not absolute, no
// drive, no ".." part: is_safe_entry_name), then stricter ones of the tool:
// no empty or "." parts, none of the characters Windows refuses, no device
// names (CON, NUL.txt...), no part ending in a dot or a blank (which Windows
// drops, so that the file would get another name).
// Returns the reason a name is refused, or an empty text.
std::string name_problem(const std::string& name);

// An ANSI name as Windows compares names: letters of Windows-1252 in one
// case.
std::string folded_name(const std::string& ansi);
