// Damaging installers on purpose. The container's places are single bytes
// or words of the file; the records' places are changed in the plain payload,
// which is then packed again like a build would pack it (header, checksums,
// disks and all), so that only the record itself is wrong.
#include "builder/damage.h"

#include <fstream>

const DamagePlace damage_places[] = {
    {"trailer-negative", "the trailer is -1 (code 10)"},
    {"trailer-beyond", "the trailer points behind the end of the file (code 20)"},
    {"magic", "a byte of the archive magic (code 20)"},
    {"header-length", "the header length is 0 (code 22)"},
    {"header-key", "a bit of the header key (code 25)"},
    {"header-byte", "a literal byte inside the header block (code 25)"},
    {"stub-byte", "the last byte of the executable image (code 40)"},
    {"payload-byte", "the first stored payload byte: a compressed payload is no block any more (code 60)"},
    {"record-name", "the first record's name is empty (code 70)"},
    {"record-length", "the first record's length is -1 (code 80)"},
    {"record-content", "the first record's length runs past the payload (code 90)"},
    {"record-checksum", "a bit of the first record's checksum (code 100)"},
    {"record-kind", "the first record's kind is 2 (code 110)"},
    {"record-escape", "the first record's name starts with ..\\ and leaves its folder (code 120)"},
    // Header fields changed and the header sealed again, so that the
    // installer loads the header and goes on with the wrong value.
    {"field-more-files", "the header counts one file more than the payload holds"},
    {"field-fewer-files", "the header counts one file fewer than the payload holds"},
    {"field-payload-larger", "the header's payload size is one byte larger than what is stored"},
    {"field-payload-smaller", "the header's payload size is one byte smaller than what is stored"},
    {"field-payload-huge", "the header's payload size is 2 GiB - 1"},
    {"field-payload-negative", "the header's payload size is -1"},
    {"field-every-flag", "every option bit of the header is set"},
    {"field-stub-checksum", "the header's checksum of the executable image is off by one (code 40)"},
    {"field-no-directory", "the header's default directory is empty"},
    {"field-no-name", "the header's product name is empty"},
};
const size_t damage_place_count = sizeof damage_places / sizeof damage_places[0];

namespace {

void save(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw ArchiveProblem(0, "cannot write " + path);
}

void set_word(Bytes& bytes, size_t at, u32 value) {
    if (at + 4 > bytes.size()) throw ArchiveProblem(0, "the installer is too short to be damaged there");
    store_le32(&bytes[at], value);
}

// The offset of the first literal byte of an LZ block, or of the block's
// first byte when it is stored plain.
size_t first_literal(const Bytes& block) {
    if (block.size() < 6 || load_le32(block.data()) != block_magic) return 0;
    for (size_t at = 4; at < block.size();) {
        u8 code = block[at];
        if (code > 0 && code < 0x80) return at + 1;
        if (code == 0 && at + 3 < block.size() && load_le16(&block[at + 1]) > 0) return at + 3;
        at += code == 0 ? 3 + load_le16(&block[at + 1]) : 3;
    }
    throw ArchiveProblem(0, "the header block holds no literal byte");
}

void damage_container(Installer& installer, const std::string& place) {
    Bytes& file = installer.executable;
    size_t start = static_cast<size_t>(installer.archive_offset);
    if (place == "trailer-negative") {
        set_word(file, file.size() - 4, 0xFFFFFFFFu);
    } else if (place == "trailer-beyond") {
        set_word(file, file.size() - 4, static_cast<u32>(file.size() + 1000));
    } else if (place == "magic") {
        file[start] ^= 0x01;
    } else if (place == "header-length") {
        set_word(file, start + 4, 0);
    } else if (place == "header-key") {
        file[start + 8] ^= 0x10;
    } else if (place == "header-byte") {
        size_t length = load_le32(&file[start + 4]);
        u32 key = load_le32(&file[start + 8]);
        Bytes block(file.begin() + static_cast<long>(start + archive_start_size),
                    file.begin() + static_cast<long>(start + archive_start_size + length));
        scramble_dword(block, key);
        file[start + archive_start_size + first_literal(block)] ^= 0x01;
    } else if (place == "stub-byte") {
        file[start - 1] ^= 0x01;
    } else if (place == "payload-byte") {
        if (!(installer.header.flags & header_flag::compressed_payload))
            throw ArchiveProblem(0, "payload-byte needs a compressed payload; a plain one has record-checksum");
        if (static_cast<size_t>(installer.payload_start) + trailer_size >= file.size())
            throw ArchiveProblem(0, "the executable holds no payload byte to damage");
        file[static_cast<size_t>(installer.payload_start)] ^= 0x01;
    }
    save(installer.path, file);
}

// The header decoded, one field changed, and sealed again under its new key;
// what follows it (the stored payload, the disks) stays as it was.
void damage_header_field(Installer& installer, const std::string& place) {
    ArchiveHeader& header = installer.header;
    if (place == "field-more-files") {
        header.file_count += 1;
    } else if (place == "field-fewer-files") {
        header.file_count -= 1;
    } else if (place == "field-payload-larger") {
        header.payload_size += 1;
    } else if (place == "field-payload-smaller") {
        header.payload_size -= 1;
    } else if (place == "field-payload-huge") {
        header.payload_size = i32_max;
    } else if (place == "field-payload-negative") {
        header.payload_size = -1;
    } else if (place == "field-every-flag") {
        header.flags = 0xFFFFFFFFu;
    } else if (place == "field-stub-checksum") {
        header.stub_checksum += 1;
    } else if (place == "field-no-directory") {
        header.default_directory = String();
    } else if (place == "field-no-name") {
        header.product_name = String();
    }
    Bytes plain_header = encode_header(header);
    u32 key = checksum_of(plain_header);
    Bytes block = compress_block(plain_header.data(), plain_header.size(), CompressionLevel::fast);
    scramble_dword(block, key);
    const Bytes& old = installer.executable;
    size_t start = static_cast<size_t>(installer.archive_offset);
    Bytes file(old.begin(), old.begin() + static_cast<long>(start));
    u8 words[12];
    store_le32(words, archive_magic);
    store_le32(words + 4, static_cast<u32>(block.size()));
    store_le32(words + 8, key);
    file.insert(file.end(), words, words + 12);
    file.insert(file.end(), block.begin(), block.end());
    file.insert(file.end(), old.begin() + installer.payload_start, old.end());
    save(installer.path, file);
}

void damage_record(Installer& installer, const std::string& place) {
    GatheredPayload gathered = gather_stored_payload(installer);
    Bytes plain = plain_payload(installer, gathered.stored);
    size_t name_end = 0;
    while (name_end < plain.size() && plain[name_end] != 0) ++name_end;
    if (name_end + 13 > plain.size()) throw ArchiveProblem(0, "the installer has no record to damage");
    size_t kind = name_end + 1, length = kind + 8, content = length + 4;
    size_t checksum = content + load_le32(&plain[length]);
    if (place == "record-name") {
        plain.erase(plain.begin(), plain.begin() + static_cast<long>(name_end));
    } else if (place == "record-length") {
        set_word(plain, length, 0xFFFFFFFFu);
    } else if (place == "record-content") {
        set_word(plain, length, 0x7FFFFFF0u);
    } else if (place == "record-checksum") {
        set_word(plain, checksum, load_le32(&plain[checksum]) ^ 0x100u);
    } else if (place == "record-kind") {
        set_word(plain, kind, 2);
    } else if (place == "record-escape") {
        const char up[] = "..\\";
        plain.insert(plain.begin(), up, up + 3);
    }
    PackOptions options;
    options.level = CompressionLevel::fast;
    if (gathered.part_sizes.size() > 1) {
        options.disk_size = static_cast<int64_t>(installer.executable.size());
        for (size_t size : gathered.part_sizes) options.disk_size = std::max<int64_t>(options.disk_size, size);
    }
    Bytes stub(installer.executable.begin(), installer.executable.begin() + installer.archive_offset);
    write_installer(pack_installer(stub, installer.header, plain, options), installer.path);
}

}  // namespace

void damage_installer(const std::string& path, const std::string& place) {
    bool known = false;
    for (size_t i = 0; i < damage_place_count; ++i) known = known || place == damage_places[i].name;
    if (!known) throw ArchiveProblem(0, "no such place to damage: " + place);
    Installer installer = open_installer(path);
    if (place.compare(0, 7, "record-") == 0) {
        damage_record(installer, place);
    } else if (place.compare(0, 6, "field-") == 0) {
        damage_header_field(installer, place);
    } else {
        damage_container(installer, place);
    }
}
