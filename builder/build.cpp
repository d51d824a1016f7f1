// Building an installer from a manifest. The stub's date goes into the header
// as it stands, clamped like the files' dates by SOURCE_DATE_EPOCH, so that a
// build from the same inputs gives the same bytes.
#include "builder/build.h"

#include <stdio.h>

#include <filesystem>

namespace {

// Reads the file's bytes straight behind the payload, so the content is
// never held twice. The size found on opening is only where reading starts:
// a file that changes meanwhile is read to its end all the same.
void read_source_into(Bytes& payload, const ManifestFile& file) {
    FILE* in = fopen(file.source.c_str(), "rb");
    if (!in) throw BuildError(file.entry + ": cannot read " + file.source);
    size_t start = payload.size();
    long expected = fseek(in, 0, SEEK_END) == 0 ? ftell(in) : -1;
    if (expected > i32_max) {
        fclose(in);
        throw BuildError(file.entry + ": " + file.source + " grew beyond what an installer can hold");
    }
    bool read = expected < 0 || fseek(in, 0, SEEK_SET) == 0;
    size_t n = read && expected > 0 ? static_cast<size_t>(expected) : 0;
    payload.resize(start + n);
    size_t got = n ? fread(payload.data() + start, 1, n, in) : 0;
    payload.resize(start + got);
    // A file that grew, or one that cannot seek, goes on in pieces; the
    // piece is read aside so that the end of the file costs no growth.
    if (read && got == n) {
        u8 more[65536];
        while ((got = fread(more, 1, sizeof more, in)) > 0) {
            payload.insert(payload.end(), more, more + got);
            if (payload.size() - start > static_cast<size_t>(i32_max)) break;
        }
    }
    read = read && !ferror(in);
    fclose(in);
    if (!read) throw BuildError(file.entry + ": cannot read " + file.source);
}

// The payload's length as the files stand now, for one allocation up front.
size_t expected_payload(const Manifest& manifest, size_t limit) {
    size_t total = 0;
    for (const ManifestFile& file : manifest.files) {
        std::error_code error;
        uintmax_t size = std::filesystem::file_size(file.source, error);
        total += record_fixed_size + file.name.size() + file.label.size() + (error ? 0 : size);
        if (total > limit) return limit;
    }
    return total;
}

}  // namespace

// Why the stub is not a bare installer program, or an empty text. A non-zero
// trailer that leads to the archive magic is an installer built earlier.
std::string stub_problem(const Bytes& bytes) {
    size_t size = bytes.size();
    if (size < static_cast<size_t>(trailer_size)) return "is too short to be the installer program";
    // A Windows program: the DOS header's "MZ", and at the offset it gives,
    // "PE" with the optional header of a 32-bit (or, for tests on machines
    // without 32-bit code, 64-bit) program.
    size_t pe = size >= 0x40 ? load_le32(&bytes[0x3C]) : 0;
    bool program = size >= 0x40 && bytes[0] == 'M' && bytes[1] == 'Z' && pe >= 0x40 && pe <= size - 26 &&
                   load_le32(&bytes[pe]) == 0x00004550u &&
                   (load_le16(&bytes[pe + 24]) == 0x10B || load_le16(&bytes[pe + 24]) == 0x20B);
    if (!program) return "is not a Windows program, so it is not the installer program (sea-stub.exe)";
    u32 trailer = load_le32(&bytes[size - trailer_size]);
    if (trailer == 0) return "";
    bool archive = trailer + static_cast<size_t>(archive_start_size) <= size - trailer_size &&
                   load_le32(&bytes[trailer]) == archive_magic;
    if (archive)
        return "already carries an archive; build on the bare installer program (sea-stub.exe), "
               "not on an installer";
    return "does not end in four zero bytes, so it is not the bare installer program (sea-stub.exe)";
}

BuildSummary build_installer(const Manifest& manifest, const StubImage& stub, const std::string& output,
                             const PackOptions& pack, const ManifestOptions& dates, const ReadProgress& progress,
                             const PackRunner& runner) {
    if (stub.bytes.empty()) throw BuildError("no installer program to build on; give one with --stub FILE");
    std::string problem = stub_problem(stub.bytes);
    if (!problem.empty())
        throw BuildError((stub.path.empty() ? std::string("the embedded installer program") : "the stub " + stub.path) +
                         " " + problem);
    Bytes payload;
    payload.reserve(expected_payload(manifest, dates.payload_limit));
    for (size_t i = 0; i < manifest.files.size(); ++i) {
        const ManifestFile& file = manifest.files[i];
        if (progress) progress(i + 1, manifest.files.size(), file.name);
        size_t content_at = open_record(payload, file.name, file.kind, file.shortcut_flags);
        read_source_into(payload, file);
        if (payload.size() - content_at > static_cast<size_t>(i32_max))
            throw BuildError(file.entry + ": " + file.source + " grew beyond what an installer can hold");
        close_record(payload, content_at, file.name, file.date, file.label);
        if (payload.size() > dates.payload_limit)
            throw BuildError(file.entry + ": " + file.source + " makes the payload larger than an installer can hold");
    }
    ArchiveHeader header = manifest.header;
    header.file_count = static_cast<i32>(manifest.files.size());
    int64_t stub_time = stub.modified;
    if (dates.source_date_epoch && stub_time > *dates.source_date_epoch) stub_time = *dates.source_date_epoch;
    header.stub_date = local_date(stub_time);

    size_t plain_payload = payload.size();
    auto pack_all = [&] { return pack_installer(stub.bytes, header, std::move(payload), pack); };
    InstallerParts parts = runner ? runner(pack_all) : pack_all();
    write_installer(parts, output);

    BuildSummary summary;
    summary.files = manifest.files.size();
    summary.plain_payload = plain_payload;
    summary.stored_payload = static_cast<size_t>(header.payload_size);
    summary.executable = parts.executable.size();
    summary.disks = parts.disks.size();
    return summary;
}
