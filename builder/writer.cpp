// Encoding and packing installers, and writing their files. Numbers are
// stored with the format's little-endian helpers; sizes are checked against
// the format's signed 32-bit fields before anything is written, because the
// installer reads every size and offset as an i32.
#include "builder/writer.h"

#include "builder/system.h"

#include <stdio.h>

#include <filesystem>

namespace {

const int64_t signing_alignment = 8;

// The n-th byte of the filler behind the header's fields.
u8 filler_byte(size_t n) { return static_cast<u8>((n * 167 + 89) ^ (n >> 3) * 29); }

void put_word(Bytes& out, u32 value) {
    u8 bytes[4];
    store_le32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

void put_text(Bytes& out, const char* text, size_t length) {
    out.insert(out.end(), text, text + length);
    out.push_back(0);
}

void put_date(Bytes& out, const DateTime& date) {
    for (i32 field : {date.year, date.month, date.day, date.hour, date.minute, date.second})
        put_word(out, static_cast<u32>(field));
}

struct FieldWriter {
    Bytes& out;
    void word(const u32& value) { put_word(out, value); }
    void word(const i32& value) { put_word(out, static_cast<u32>(value)); }
    void date(const DateTime& value) { put_date(out, value); }
    void text(const String& value) { put_text(out, value.text(), static_cast<size_t>(value.length())); }
};

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// Splits the stored payload: what fits beside the overhead in the
// executable, then whole disks, given by their sizes. A disk file is never
// empty, since the installer reports an empty disk as fatal.
void split_payload(size_t stored, size_t overhead, int64_t disk_size, size_t& first, std::vector<size_t>& disks) {
    first = stored;
    disks.clear();
    if (disk_size <= 0) return;
    // The executable's length stays a multiple of 8 (see pack_installer);
    // the disks are no programs and are filled to the size.
    int64_t executable_size = disk_size - disk_size % signing_alignment;
    if (static_cast<int64_t>(overhead) > executable_size) {
        throw BuildError("the disk size " + std::to_string(disk_size) +
                         " is smaller than the installer program with its header (" + std::to_string(overhead) +
                         " bytes)");
    }
    first = std::min(stored, static_cast<size_t>(executable_size) - overhead);
    for (size_t at = first; at < stored;) {
        size_t n = std::min(stored - at, static_cast<size_t>(disk_size));
        disks.push_back(n);
        at += n;
    }
}

std::string system_error(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + last_system_error();
}

void write_file(const std::string& path, const Bytes& bytes) {
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) throw BuildError(system_error("cannot create", path));
    bool written = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (fclose(out) != 0) written = false;
    if (!written) {
        std::string message = system_error("cannot write", path);
        remove_file(path);
        throw BuildError(message);
    }
}

}  // namespace

std::string disk_file_name(int n) { return "Disk" + std::to_string(n) + ".SEA"; }

Bytes encode_header(const ArchiveHeader& header) {
    Bytes plain;
    FieldWriter writer = {plain};
    visit_header_fields(header, writer);
    return plain;
}

void encode_record(Bytes& payload, const std::string& name, u32 kind, u32 shortcut_flags, const u8* content,
                   size_t length, const DateTime& date, const std::string& label) {
    if (length > static_cast<size_t>(i32_max)) throw BuildError(name + ": more bytes than a record can hold");
    size_t at = open_record(payload, name, kind, shortcut_flags);
    if (length) payload.insert(payload.end(), content, content + length);
    close_record(payload, at, name, date, label);
}

size_t open_record(Bytes& payload, const std::string& name, u32 kind, u32 shortcut_flags) {
    put_text(payload, name.data(), name.size());
    put_word(payload, kind);
    put_word(payload, shortcut_flags);
    put_word(payload, 0);
    return payload.size();
}

void close_record(Bytes& payload, size_t content_at, const std::string& name, const DateTime& date,
                  const std::string& label) {
    size_t length = payload.size() - content_at;
    if (length > static_cast<size_t>(i32_max)) throw BuildError(name + ": more bytes than a record can hold");
    store_le32(&payload[content_at - 4], static_cast<u32>(length));
    put_word(payload, block_checksum(payload.data() + content_at, static_cast<i32>(length)));
    put_date(payload, date);
    put_text(payload, label.data(), label.size());
}

namespace {

InstallerParts pack_stored(const Bytes& stub, ArchiveHeader& header, Bytes& stored, const PackOptions& options) {
    if (stored.size() > static_cast<size_t>(i32_max))
        throw BuildError("the payload is too large: " + std::to_string(stored.size()) + " bytes, at most " +
                         std::to_string(i32_max));
    header.payload_size = static_cast<i32>(stored.size());

    // A signing tool pads the file to a multiple of 8 before it appends the
    // certificate table, which would part the trailer from the table. So the
    // length is made a multiple of 8 here, first with bytes behind the plain
    // header's last field, which the installer never reads: that keeps the
    // image, and so the uninstaller copy, the installer program byte for
    // byte. Zeros there would only lengthen one match, so the filler is a
    // fixed sequence that does not compress; the block still grows unevenly,
    // hence the trials. Should none fit, zero bytes behind the image come next.
    Bytes image = stub;
    Bytes header_block;
    u32 key = 0;
    size_t overhead = 0;
    size_t first = 0;
    std::vector<size_t> disk_sizes;
    const size_t header_paddings = 64;
    for (bool aligned = false; !aligned;) {
        if (image.size() == stub.size() + signing_alignment)
            throw BuildError("no padding makes the installer's length a multiple of 8");
        header.stub_checksum = image_checksum(image.data(), static_cast<i32>(image.size()));
        Bytes plain_header = encode_header(header);
        for (size_t padding = 0; padding < header_paddings && !aligned; ++padding) {
            key = checksum_of(plain_header);
            header_block = compress_block(plain_header.data(), plain_header.size(), options.level);
            scramble_dword(header_block, key);
            overhead = image.size() + archive_start_size + header_block.size() + trailer_size;
            split_payload(stored.size(), overhead, options.disk_size, first, disk_sizes);
            aligned = (overhead + first) % signing_alignment == 0;
            plain_header.push_back(filler_byte(padding));
        }
        if (!aligned) image.push_back(0);
    }
    if (overhead + first > static_cast<size_t>(i32_max))
        throw BuildError("the installer would be larger than 2 GiB; give a disk size");

    InstallerParts parts;
    Bytes& exe = parts.executable;
    exe.reserve(overhead + first);
    append(exe, image);
    put_word(exe, archive_magic);
    put_word(exe, static_cast<u32>(header_block.size()));
    put_word(exe, key);
    append(exe, header_block);
    exe.insert(exe.end(), stored.begin(), stored.begin() + static_cast<long>(first));
    put_word(exe, static_cast<u32>(image.size()));
    parts.disks.reserve(disk_sizes.size());
    for (size_t at = first, k = 0; k < disk_sizes.size(); at += disk_sizes[k++])
        parts.disks.emplace_back(stored.begin() + static_cast<long>(at),
                                 stored.begin() + static_cast<long>(at + disk_sizes[k]));
    return parts;
}

void check_payload(const ArchiveHeader& header, const Bytes& stub, const Bytes& plain_payload) {
    if (stub.size() > static_cast<size_t>(i32_max)) throw BuildError("the installer program is too large");
    if ((header.flags & header_flag::compressed_payload) && plain_payload.size() > max_block_input)
        throw BuildError("the payload is too large for one compressed block");
}

Bytes compressed_payload(const Bytes& plain_payload, const PackOptions& options) {
    Bytes stored = compress_block(plain_payload.data(), plain_payload.size(), options.level, 0, options.compressed);
    scramble_byte(stored, static_cast<u8>(stored.size()));
    return stored;
}

}  // namespace

// A caller that keeps its payload pays for a copy, which the packing then
// releases as the other form does.
InstallerParts pack_installer(const Bytes& stub, ArchiveHeader& header, const Bytes& plain_payload,
                              const PackOptions& options) {
    return pack_installer(stub, header, Bytes(plain_payload), options);
}

InstallerParts pack_installer(const Bytes& stub, ArchiveHeader& header, Bytes&& plain_payload,
                              const PackOptions& options) {
    check_payload(header, stub, plain_payload);
    Bytes stored;
    if (header.flags & header_flag::compressed_payload) {
        stored = compressed_payload(plain_payload, options);
        Bytes().swap(plain_payload);
    } else {
        stored.swap(plain_payload);
    }
    return pack_stored(stub, header, stored, options);
}

void write_installer(const InstallerParts& parts, const std::string& path) {
    std::string directory = folder_of(path);
    if (!directory.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(directory, ignored);
    }
    std::vector<std::pair<std::string, std::string>> renames;
    std::string suffix = ".sea-tmp-" + std::to_string(process_number());
    try {
        renames.emplace_back(path + suffix, path);
        write_file(renames.back().first, parts.executable);
        for (size_t i = 0; i < parts.disks.size(); ++i) {
            std::string disk = directory + disk_file_name(static_cast<int>(i) + 2);
            renames.emplace_back(disk + suffix, disk);
            write_file(renames.back().first, parts.disks[i]);
        }
    } catch (...) {
        for (const auto& rename : renames) remove_file(rename.first);
        throw;
    }
    for (size_t i = 0; i < renames.size(); ++i) {
        if (!replace_file(renames[i].first, renames[i].second)) {
            std::string message = system_error("cannot rename to", renames[i].second);
            // Half an installer is worse than none.
            for (size_t j = 0; j < renames.size(); ++j) remove_file(j < i ? renames[j].second : renames[j].first);
            throw BuildError(message);
        }
    }
    // The disks of an earlier, longer build would only mislead.
    for (int n = static_cast<int>(parts.disks.size()) + 2;; ++n) {
        std::string stale = directory + disk_file_name(n);
        if (!entry_exists(stale) || !remove_file(stale)) break;
    }
}
