// Reading installers with the archive layer's own readers. The executable is
// read whole into memory and handed to the container checks as a
// MemoryInput, which moves like the installer's File; the payload is
// gathered exactly as the installer gathers it, so a part that is missing,
// empty or short is found here first.
#include "builder/reader.h"

#include "archive/memory_input.h"
#include "builder/system.h"

#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {


// The whole file, or false when it cannot be opened. Files beyond the
// format's 2 GiB are refused before they are read.
bool read_whole_file(const std::string& path, Bytes& out) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) throw ArchiveProblem(0, "a directory, not an installer");
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) return false;
    if (size > i32_max) throw ArchiveProblem(0, path + ": larger than 2 GiB, which no installer can be");
    in.seekg(0, std::ios::beg);
    out.resize(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(out.data()), size)) return false;
    return true;
}

std::string text_of(const String& text) { return std::string(text.text(), static_cast<size_t>(text.length())); }

}  // namespace

bool read_installer_file(const std::string& path, Bytes& out) { return read_whole_file(path, out); }

ArchiveProblem ArchiveProblem::corrupt(i32 code) {
    const char* meaning = corrupt_code_meaning(code);
    return ArchiveProblem(code, "corrupt archive, error code " + std::to_string(code) +
                                    (meaning ? std::string(": ") + meaning : std::string()));
}

Installer open_installer(const std::string& path) {
    Installer installer;
    installer.path = path;
    if (!read_whole_file(path, installer.executable)) throw ArchiveProblem(0, "cannot read " + path);
    MemoryInput input(installer.executable.data(), static_cast<i32>(installer.executable.size()));
    i32 result = read_archive_header(input, installer.archive_offset, installer.archive_end, installer.header);
    if (result == archive_absent) throw ArchiveProblem(0, "no installation archive present");
    // A file that is no Windows program at all is not a damaged installer.
    const Bytes& exe = installer.executable;
    bool program = exe.size() >= 2 && exe[0] == 'M' && exe[1] == 'Z';
    if (result != archive_loaded && !program) throw ArchiveProblem(0, "not an installer: not a Windows program");
    if (result != archive_loaded) throw ArchiveProblem::corrupt(result);
    installer.payload_start = input.tell();
    return installer;
}

GatheredPayload gather_stored_payload(const Installer& installer) {
    GatheredPayload gathered;
    const Bytes& exe = installer.executable;
    const int64_t payload_size = installer.header.payload_size;
    int64_t chunk = static_cast<int64_t>(installer.archive_end) - installer.payload_start - trailer_size;
    if (chunk > 0) {
        auto start = exe.begin() + installer.payload_start;
        gathered.stored.assign(start, start + chunk);
    }
    gathered.part_sizes.push_back(chunk > 0 ? static_cast<size_t>(chunk) : 0);
    for (int disk = 2;; ++disk) {
        int64_t done = static_cast<int64_t>(gathered.stored.size());
        if (done >= payload_size && (chunk > 0 || payload_size <= 0)) break;
        std::string name = disk_file_name(disk);
        std::string path = folder_of(installer.path) + name;
        Bytes part;
        if (!read_whole_file(path, part))
            throw ArchiveProblem(0, name + " is missing: the installer would ask for disk #" + std::to_string(disk));
        if (part.empty()) {
            char text[4096];
            snprintf(text, sizeof text, empty_disk_format, path.c_str());
            throw ArchiveProblem(0, text);
        }
        if (done + static_cast<int64_t>(part.size()) > i32_max)
            throw ArchiveProblem(0, "the payload's parts hold more than 2 GiB");
        gathered.stored.insert(gathered.stored.end(), part.begin(), part.end());
        gathered.part_sizes.push_back(part.size());
        chunk = static_cast<int64_t>(part.size());
    }
    return gathered;
}

Bytes plain_payload(const Installer& installer, const Bytes& stored) {
    ByteBuffer payload;
    payload.append_bytes(stored.data(), static_cast<i32>(stored.size()));
    if (!unpack_payload(payload, installer.header.flags)) throw ArchiveProblem::corrupt(corrupt::payload_block);
    return Bytes(payload.data(), payload.data() + payload.size());
}

std::vector<Record> read_records(const Installer& installer, const Bytes& stored) {
    ByteBuffer payload;
    payload.append_bytes(stored.data(), static_cast<i32>(stored.size()));
    if (!unpack_payload(payload, installer.header.flags)) throw ArchiveProblem::corrupt(corrupt::payload_block);
    std::vector<Record> records;
    for (i32 i = 0; i < installer.header.file_count; ++i) {
        FileEntry entry;
        i32 code = parse_file_entry(payload, entry);
        if (code == 0 && !is_known_kind(entry.kind)) code = corrupt::unknown_kind;
        if (code) {
            ArchiveProblem problem = ArchiveProblem::corrupt(code);
            throw ArchiveProblem(code, std::string(problem.what()) + " (record " + std::to_string(i + 1) + " of " +
                                           std::to_string(installer.header.file_count) + ")");
        }
        Record record;
        record.name = text_of(entry.name);
        record.kind = entry.kind;
        record.shortcut_flags = entry.shortcut_flags;
        record.content.assign(entry.content.data(), entry.content.data() + entry.content.size());
        record.checksum = entry.checksum;
        record.date = entry.date;
        record.label = text_of(entry.label);
        records.push_back(std::move(record));
    }
    return records;
}

i32 check_stub(const Installer& installer) {
    const u8* image = installer.executable.data();
    u32 expected = installer.header.stub_checksum;
    bool sound = image_checksum(image, installer.archive_offset) == expected ||
                 block_checksum(image, installer.archive_offset) == expected;
    return sound ? 0 : corrupt::image_checksum;
}

std::string date_text(const DateTime& date) {
    if (!date.is_set()) return "-";
    char text[80];
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.year, date.month, date.day, date.hour,
             date.minute, date.second);
    return text;
}

const char* kind_folder(u32 kind) { return kind_name(kind); }
