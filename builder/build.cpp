// Building an installer from a manifest. The stub's date goes into the header
// as it stands, clamped like the files' dates by SOURCE_DATE_EPOCH, so that a
// build from the same inputs gives the same bytes.
#include "builder/build.h"

#include <fstream>

namespace {

Bytes read_source(const ManifestFile& file) {
    std::ifstream in(file.source, std::ios::binary);
    if (!in) throw BuildError(file.entry + ": cannot read " + file.source);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw BuildError(file.entry + ": cannot read " + file.source);
    if (bytes.size() > static_cast<size_t>(i32_max))
        throw BuildError(file.entry + ": " + file.source + " grew beyond what an installer can hold");
    return bytes;
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
    for (size_t i = 0; i < manifest.files.size(); ++i) {
        const ManifestFile& file = manifest.files[i];
        if (progress) progress(i + 1, manifest.files.size(), file.name);
        Bytes content = read_source(file);
        encode_record(payload, file.name, file.kind, file.shortcut_flags, content.data(), content.size(), file.date,
                      file.label);
        if (payload.size() > dates.payload_limit)
            throw BuildError(file.entry + ": " + file.source + " makes the payload larger than an installer can hold");
    }
    ArchiveHeader header = manifest.header;
    header.file_count = static_cast<i32>(manifest.files.size());
    int64_t stub_time = stub.modified;
    if (dates.source_date_epoch && stub_time > *dates.source_date_epoch) stub_time = *dates.source_date_epoch;
    header.stub_date = local_date(stub_time);

    auto pack_all = [&] { return pack_installer(stub.bytes, header, payload, pack); };
    InstallerParts parts = runner ? runner(pack_all) : pack_all();
    write_installer(parts, output);

    BuildSummary summary;
    summary.files = manifest.files.size();
    summary.plain_payload = payload.size();
    summary.stored_payload = static_cast<size_t>(header.payload_size);
    summary.executable = parts.executable.size();
    summary.disks = parts.disks.size();
    return summary;
}
