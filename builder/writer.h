// Writing installers: the encoders of the header record and the file
// records, the packing of an installer (stub, archive start, header block,
// payload split over the executable and its disk files, trailer), and the
// writing of its files so that a failed build leaves nothing behind.
//
// The header goes through the archive layer's visit_header_fields, so it is
// written in exactly the order the installer reads it. Everything here is
// deterministic: the same stub, header and records give the same bytes.
#pragma once

#include "archive/archive.h"
#include "builder/compressor.h"

#include <stdexcept>
#include <string>
#include <vector>

typedef std::vector<u8> Bytes;

// A build that cannot be made as asked; the message says why.
class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

const i32 i32_max = 0x7FFFFFFF;

struct PackOptions {
    CompressionLevel level = CompressionLevel::best;
    // The largest file of a multi-disk installer (the executable and each
    // Disk%d.SEA); 0 keeps the whole payload in the executable.
    int64_t disk_size = 0;
    // When given: the payload bytes compressed so far, for a progress display.
    std::atomic<size_t>* compressed = nullptr;
};

// The executable and its disk files Disk2.SEA, Disk3.SEA... in order.
struct InstallerParts {
    Bytes executable;
    std::vector<Bytes> disks;
};

// The plain header: the fields in their stored order, texts nul-terminated.
Bytes encode_header(const ArchiveHeader& header);

// Appends one file record to a plain payload.
void encode_record(Bytes& payload, const std::string& name, u32 kind, u32 shortcut_flags, const u8* content,
                   size_t length, const DateTime& date, const std::string& label);

// The same record in two halves, so that its content can be read straight
// into the payload between them: open_record appends the fields before the
// content and gives where the content starts; close_record takes everything
// from there as the content, fills in its length and appends the rest.
size_t open_record(Bytes& payload, const std::string& name, u32 kind, u32 shortcut_flags);
void close_record(Bytes& payload, size_t content_at, const std::string& name, const DateTime& date,
                  const std::string& label);

// The bytes of one record besides its name, content and label.
const size_t record_fixed_size = 4 + 4 + 4 + 4 + date_record_size + 2;

// Packs stub, header and plain payload into an installer. The header's
// stub_checksum and payload_size are filled in here; file_count, stub_date
// and the rest are the caller's. The header block is compressed and then
// scrambled with the plain header's checksum as its key; the payload is
// compressed and scrambled with the low byte of its stored size when the
// flags ask for it. Zero bytes behind the plain header's fields make the
// executable's length a multiple of 8, as signing tools want it; with disks,
// the executable's share is held to the largest such length.
InstallerParts pack_installer(const Bytes& stub, ArchiveHeader& header, const Bytes& plain_payload,
                              const PackOptions& options);
// The same, taking the payload over: it is released as soon as it is
// compressed, before the installer's files are assembled.
InstallerParts pack_installer(const Bytes& stub, ArchiveHeader& header, Bytes&& plain_payload,
                              const PackOptions& options);

// Writes the executable to path and the disk files beside it. Every file is
// written under a temporary name first and renamed only when all are
// complete, so a failure leaves no new file behind; disk files of an earlier
// build that this one no longer has are removed.
void write_installer(const InstallerParts& parts, const std::string& path);

// The disk file name of disk number n (2 and up).
std::string disk_file_name(int n);
