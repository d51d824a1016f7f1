// Building an installer from a manifest. The stub's date goes into the header
// as it stands, clamped like the files' dates by SOURCE_DATE_EPOCH, so that a
// build from the same inputs gives the same bytes.
#include "builder/build.h"

#include "builder/reader.h"

#include <filesystem>
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

// Why the stub is not a bare installer program, or an empty text. A non-zero
// trailer that leads to the archive magic is an installer built earlier.
std::string stub_problem(const Bytes& bytes) {
    size_t size = bytes.size();
    std::string program = windows_program_problem(bytes.data(), size);
    if (!program.empty()) return program + ", so it is not the installer program (sea-stub.exe)";
    u32 trailer = load_le32(&bytes[size - trailer_size]);
    if (trailer == 0) return "";
    bool archive = trailer + static_cast<size_t>(archive_start_size) <= size - trailer_size &&
                   load_le32(&bytes[trailer]) == archive_magic;
    if (archive)
        return "already carries an archive; build on the bare installer program (sea-stub.exe), "
               "not on an installer";
    return "does not end in four zero bytes, so it is not the bare installer program (sea-stub.exe)";
}

// The build would write over path, one of its inputs.
void refuse_overwriting(const std::string& path, const std::string& input, const std::string& what) {
    std::error_code error;
    if (std::filesystem::equivalent(path, input, error))
        throw BuildError("the output " + path + " is " + what + "; give another name with -o");
}

}  // namespace

void check_build(const Manifest& manifest, const StubImage& stub, const std::string& output) {
    if (stub.bytes.empty()) throw BuildError("no installer program to build on; give one with --stub FILE");
    std::string problem = stub_problem(stub.bytes);
    if (!problem.empty())
        throw BuildError((stub.path.empty() ? std::string("the embedded installer program") : "the stub " + stub.path) +
                         " " + problem);
    if (output.empty()) return;
    refuse_overwriting(output, manifest.path, "the manifest");
    for (const std::string& text : manifest.text_files) refuse_overwriting(output, text, "a text file of the manifest");
    for (const ManifestFile& file : manifest.files)
        refuse_overwriting(output, file.source, "the source of " + file.entry);
    if (!stub.path.empty()) refuse_overwriting(output, stub.path, "the stub");
}

BuildSummary build_installer(const Manifest& manifest, const StubImage& stub, const std::string& output,
                             const PackOptions& pack, const ManifestOptions& dates, const ReadProgress& progress) {
    check_build(manifest, stub, output);
    Bytes payload;
    for (size_t i = 0; i < manifest.files.size(); ++i) {
        const ManifestFile& file = manifest.files[i];
        if (progress) progress(i);
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

    InstallerParts parts = pack_installer(stub.bytes, header, payload, pack);
    std::string folder = std::filesystem::path(output).parent_path().string();
    for (size_t i = 0; i < parts.disks.size(); ++i) {
        std::string disk = (folder.empty() ? "" : folder + "/") + disk_file_name(static_cast<int>(i) + 2);
        refuse_overwriting(disk, manifest.path, "the manifest");
        for (const ManifestFile& file : manifest.files)
            refuse_overwriting(disk, file.source, "the source of " + file.entry);
    }
    write_installer(parts, output);

    BuildSummary summary;
    summary.files = manifest.files.size();
    summary.plain_payload = payload.size();
    summary.stored_payload = static_cast<size_t>(header.payload_size);
    summary.executable = parts.executable.size();
    summary.disks = parts.disks.size();
    return summary;
}
