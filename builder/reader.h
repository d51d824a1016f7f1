// Reading installers in the `sea` tool: the header through the same container
// checks the installer makes, the payload gathered from the executable and
// the disk files beside it, and the records with every check of the
// installer, in the installer's order, so that a damaged installer is
// reported with the code its user would see.
//
// Corrupt tokens in a compressed block end in the foundation's fatal report,
// as in the installer; the `sea` program turns that report into an
// exception, so its reports come from one place too.
#pragma once

#include "builder/writer.h"

#include <stdexcept>
#include <string>
#include <vector>

// Why an installer cannot be read: a corrupt-archive code (0 when the
// problem has none, such as a missing disk) and the message to show.
class ArchiveProblem : public std::runtime_error {
public:
    ArchiveProblem(i32 code, const std::string& message) : std::runtime_error(message), code(code) {}
    // The installer's own words for a code, with its meaning.
    static ArchiveProblem corrupt(i32 code);
    i32 code;
};

struct Installer {
    std::string path;
    Bytes executable;
    i32 archive_offset = 0;
    // Where the trailer ends: the file's end, or where a signature's
    // certificate table starts.
    i32 archive_end = 0;
    // Where the payload's first part starts, just behind the header block.
    i32 payload_start = 0;
    ArchiveHeader header;
};

struct Record {
    std::string name;
    u32 kind = 0;
    u32 shortcut_flags = 0;
    Bytes content;
    u32 checksum = 0;
    DateTime date;
    std::string label;
};

// The stored payload and where it came from.
struct GatheredPayload {
    Bytes stored;
    // The bytes taken from the executable, then from each disk file read.
    std::vector<size_t> part_sizes;
};

// Reads the file and loads its header; throws ArchiveProblem for a file that
// is no installer (no archive, or a damaged container or header).
Installer open_installer(const std::string& path);

// The file's bytes, or false when it cannot be read.
bool read_installer_file(const std::string& path, Bytes& out);

// The payload from behind the header, then from Disk2.SEA, Disk3.SEA...
// beside the executable, until payload_size bytes are there: a missing or
// empty disk is an ArchiveProblem without code.
GatheredPayload gather_stored_payload(const Installer& installer);

// Decodes the stored payload (code 60) and reads file_count records, each
// checked like the installer checks it (70 to 100, then the kind, 110).
std::vector<Record> read_records(const Installer& installer, const Bytes& stored);

// The executable image's checksum against stub_checksum: 0 or code 40. The
// checksum is taken with the PE header's CheckSum and security entry read as
// zero; installers built before that rule summed them too, and pass as well.
i32 check_stub(const Installer& installer);

// The plain payload bytes, for tools that rewrite an installer.
Bytes plain_payload(const Installer& installer, const Bytes& stored);

// "2001-02-03 14:05:09", or "-" for a record without date.
std::string date_text(const DateTime& date);

// The folder below an extraction directory that holds a kind's files.
const char* kind_folder(u32 kind);
