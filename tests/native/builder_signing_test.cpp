// Installers after signing, without the signing tool: a certificate table
// appended as a signing tool appends it (behind the trailer, named by the
// security entry, with the CheckSum rewritten) leaves the archive readable
// with every check passing, for 32-bit and 64-bit programs and over disks;
// and an installer built before the stub checksum ignored those fields still
// passes its check. The signing tool itself is tried in sea-sign.sh.
#include "builder_fixtures.h"

#include <algorithm>

namespace {

// A program with a whole optional header, so that it has a CheckSum field and
// a security entry, ending in four zero bytes like the installer program.
StubImage signable_stub(bool pe32_plus) {
    StubImage stub;
    stub.bytes.assign(0x300, 0);
    Bytes& b = stub.bytes;
    b[0] = 'M';
    b[1] = 'Z';
    store_le32(&b[0x3C], 0x80);
    store_le32(&b[0x80], 0x00004550u);
    const size_t optional = 0x80 + 24;
    const size_t directories = optional + (pe32_plus ? 112 : 96);
    b[0x80 + 20] = static_cast<u8>(directories + 16 * 8 - optional);
    b[optional] = 0x0B;
    b[optional + 1] = pe32_plus ? 0x02 : 0x01;
    store_le32(&b[optional + 64], 0x0001C0DE);
    store_le32(&b[directories - 4], 16);
    for (size_t i = 0x200; i < 0x2FB; ++i) b[i] = static_cast<u8>(i * 13);
    stub.modified = 1000000000;
    return stub;
}

// What a signing tool does to a file whose length is a multiple of 8.
void sign_like_a_tool(Bytes& file, size_t table_size) {
    ImageFields fields = image_fields_of(file.data(), static_cast<i32>(file.size()));
    ASSERT_GE(fields.security_offset, 0);
    u32 table_offset = static_cast<u32>(file.size());
    store_le32(&file[static_cast<size_t>(fields.checksum_offset)], 0x0008ED0C);
    store_le32(&file[static_cast<size_t>(fields.security_offset)], table_offset);
    store_le32(&file[static_cast<size_t>(fields.security_offset) + 4], static_cast<u32>(table_size));
    for (size_t i = 0; i < table_size; ++i) file.push_back(static_cast<u8>(0x30 + i % 64));
}

class Signing : public ScratchDirectory {
protected:
    std::string manifest() {
        // Bytes that do not compress, so that a small disk size splits them.
        std::string program = "MZ";
        for (u32 i = 0, x = 1; i < 6000; ++i) program += static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
        write("files/tool.exe", program);
        write("files/readme.txt", "Read this first.\r\n");
        return write("m.toml",
                     "product_name = \"Demo\"\nflags = [\"uninstall_support\", \"compressed_payload\"]\n"
                     "[[file]]\nsource = \"files/tool.exe\"\n[[file]]\nsource = \"files/readme.txt\"\n");
    }
};

}  // namespace

TEST_F(Signing, ACertificateTableBehindTheTrailerLeavesTheArchiveWhole) {
    struct Case {
        const char* what;
        bool pe32_plus;
        int64_t disk_size;
    };
    const Case cases[] = {
        {"32-bit program", false, 0},
        {"64-bit program", true, 0},
        {"64-bit program over disks", true, 2000},
    };
    std::string manifest_path = manifest();
    for (const Case& c : cases) {
        PackOptions pack;
        pack.disk_size = c.disk_size;
        std::string output = path(std::string(c.what) + "/setup.exe");
        build_installer(load_manifest(manifest_path), signable_stub(c.pe32_plus), output, pack, ManifestOptions());
        Bytes file = bytes_of(output);
        // Else the tool would pad in front of the table, away from the trailer.
        ASSERT_EQ(file.size() % 8, 0u) << c.what;
        const size_t unsigned_size = file.size();
        sign_like_a_tool(file, 0x5F8);
        std::ofstream(output, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                      static_cast<std::streamsize>(file.size()));

        Installer installer = open_installer(output);
        EXPECT_EQ(installer.archive_end, static_cast<i32>(unsigned_size)) << c.what;
        EXPECT_EQ(check_stub(installer), 0) << c.what;
        GatheredPayload gathered = gather_stored_payload(installer);
        EXPECT_EQ(gathered.stored.size(), static_cast<size_t>(installer.header.payload_size)) << c.what;
        EXPECT_EQ(gathered.part_sizes.size() > 1, c.disk_size > 0) << c.what;
        std::vector<Record> records = read_records(installer, gathered.stored);
        ASSERT_EQ(records.size(), 2u) << c.what;
        EXPECT_EQ(text_of(records[1].content), "Read this first.\r\n") << c.what;

        // The uninstaller copy is the image without the entry of a table it
        // does not carry, and still a bare program.
        Bytes image(file.begin(), file.begin() + installer.archive_offset);
        clear_absent_certificate(image.data(), static_cast<i32>(image.size()));
        ImageFields fields = image_fields_of(image.data(), static_cast<i32>(image.size()));
        EXPECT_EQ(load_le32(&image[static_cast<size_t>(fields.security_offset)]), 0u) << c.what;
        EXPECT_EQ(image_checksum(image.data(), static_cast<i32>(image.size())), installer.header.stub_checksum);
        EXPECT_EQ(stub_problem(image), "") << c.what;
    }
}

TEST_F(Signing, AByteChangedInTheImageStillFailsTheStubCheck) {
    std::string output = path("out/setup.exe");
    build_installer(load_manifest(manifest()), signable_stub(false), output, PackOptions(), ManifestOptions());
    Bytes file = bytes_of(output);
    sign_like_a_tool(file, 0x100);
    file[0x250] ^= 1;
    std::ofstream(output, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                  static_cast<std::streamsize>(file.size()));
    EXPECT_EQ(verdict(output), corrupt::image_checksum);
}

TEST_F(Signing, AnInstallerBuiltBeforeTheSignedFieldsWereIgnoredStillPasses) {
    // Built by the earlier sea on a stub whose CheckSum field is 0x0001C0DE:
    // its stub checksum summed that field.
    ASSERT_FALSE(bytes_of(SEA_TEST_FIXTURES "/old-checksum-rule.exe").empty());
    Installer installer = open_installer(SEA_TEST_FIXTURES "/old-checksum-rule.exe");
    const u8* image = installer.executable.data();
    EXPECT_NE(image_checksum(image, installer.archive_offset), installer.header.stub_checksum);
    EXPECT_EQ(check_stub(installer), 0);
    EXPECT_EQ(read_records(installer, gather_stored_payload(installer).stored).size(), 1u);
    // Either rule still catches a changed byte of the image.
    installer.executable[0x190] ^= 1;
    EXPECT_EQ(check_stub(installer), corrupt::image_checksum);
}
