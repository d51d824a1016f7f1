// Building installers: what the tool writes reads back through the
// installer's own readers field for field and byte for byte, the same
// inputs give the same bytes, a multi-disk installer splits where the
// installer will gather, a source is packed as it stands when it is read,
// a failed build leaves no file behind, and only a bare installer program is
// built on.
#include "builder_fixtures.h"

#include <unistd.h>

namespace {

class Builds : public ScratchDirectory {
protected:
    // A small product: programs with shortcuts, a shared file in a
    // subdirectory, a font, texts and dates; flags come beside
    // uninstall_support, which the shared file needs.
    std::string demo_manifest(const std::string& flags = "\"compressed_payload\"") {
        write("files/demo.exe", "MZ" + std::string(3000, 'p') + "end of program");
        write("files/empty.dat", "");
        write("files/common/shared.dll", std::string(5000, '\x01') + "shared");
        write("files/Demo.ttf", "font bytes \xFF\x80\x7F");
        touch("files/demo.exe", 1200000000);
        return write("demo.toml",
                     "product_name = \"Demo\"\npublisher = \"Vendor\"\nversion = \"1.0\"\n"
                     "flags = [\"uninstall_support\", " + flags + "]\nreadme = \"Read me\"\n" +
                     // Without the option bit the payload stays plain.
                     (flags.find("compressed_payload") == std::string::npos ? "compress = false\n" : "") +
                     "[[file]]\nsource = \"files/demo.exe\"\nshortcuts = [\"desktop\", \"start_menu\"]\n"
                     "label = \"Demo\"\n"
                     "[[file]]\nsource = \"files/empty.dat\"\nkind = \"startup\"\ndate = 2001-02-03 04:05:06\n"
                     "[[file]]\nsource = \"files/common\"\nname = \"lib\"\nkind = \"shared\"\n"
                     "[[file]]\nsource = \"files/Demo.ttf\"\nkind = \"font\"\nlabel = \"Demo Sans\"\n");
    }
};

TEST_F(Builds, WhatIsWrittenReadsBackThroughTheInstallersReaders) {
    struct Case {
        const char* what;
        std::string flags;
        CompressionLevel level;
    };
    const Case cases[] = {
        {"compressed, best", "\"compressed_payload\"", CompressionLevel::best},
        {"compressed, fast", "\"compressed_payload\"", CompressionLevel::fast},
        {"plain payload", "\"always_log\"", CompressionLevel::best},
    };
    for (const Case& c : cases) {
        PackOptions pack;
        pack.level = c.level;
        std::string output = path(std::string("out/") + c.what + ".exe");
        build_from(demo_manifest(c.flags), output, pack);

        Installer installer = open_installer(output);
        // The image is the stub itself; zero bytes behind the header's
        // fields make the file's length a multiple of 8 for a signing tool.
        EXPECT_EQ(installer.archive_offset, static_cast<i32>(test_stub().bytes.size())) << c.what;
        EXPECT_EQ(installer.executable.size() % 8, 0u) << c.what;
        EXPECT_STREQ(installer.header.product_name.text(), "Demo") << c.what;
        EXPECT_STREQ(installer.header.readme_text.text(), "Read me") << c.what;
        EXPECT_EQ(installer.header.file_count, 4) << c.what;
        EXPECT_EQ(check_stub(installer), 0) << c.what;
        EXPECT_EQ(seconds_of_local_date(installer.header.stub_date), test_stub().modified) << c.what;
        GatheredPayload gathered = gather_stored_payload(installer);
        EXPECT_EQ(gathered.stored.size(), static_cast<size_t>(installer.header.payload_size)) << c.what;
        std::vector<Record> records = read_records(installer, gathered.stored);
        ASSERT_EQ(records.size(), 4u) << c.what;

        EXPECT_EQ(records[0].name, "demo.exe");
        EXPECT_EQ(text_of(records[0].content), text_of(bytes_of(path("files/demo.exe"))));
        EXPECT_EQ(records[0].shortcut_flags, shortcut_desktop | shortcut_start_menu);
        EXPECT_EQ(records[0].label, "Demo");
        EXPECT_EQ(seconds_of_local_date(records[0].date), 1200000000);
        EXPECT_EQ(records[1].kind, kind_startup_program);
        EXPECT_TRUE(records[1].content.empty());
        EXPECT_EQ(date_text(records[1].date), "2001-02-03 04:05:06");
        EXPECT_EQ(records[2].name, "lib\\shared.dll");
        EXPECT_EQ(records[2].kind, kind_shared);
        EXPECT_EQ(text_of(records[2].content), std::string(5000, '\x01') + "shared");
        EXPECT_EQ(records[3].kind, kind_font);
        EXPECT_EQ(records[3].label, "Demo Sans");
        EXPECT_EQ(text_of(records[3].content), "font bytes \xFF\x80\x7F");
    }
}

TEST_F(Builds, TheSameInputsGiveTheSameBytes) {
    std::string manifest = demo_manifest();
    build_from(manifest, path("one/setup.exe"));
    build_from(manifest, path("two/setup.exe"));
    EXPECT_EQ(bytes_of(path("one/setup.exe")), bytes_of(path("two/setup.exe")));
    // A changed date is a changed installer.
    touch("files/demo.exe", 1200000001);
    build_from(manifest, path("three/setup.exe"));
    EXPECT_NE(bytes_of(path("one/setup.exe")), bytes_of(path("three/setup.exe")));
}

TEST_F(Builds, ADiskSizeSplitsThePayloadWhereTheInstallerGathersIt) {
    std::string manifest = demo_manifest("\"always_log\"");
    build_from(manifest, path("whole/setup.exe"));
    Installer whole = open_installer(path("whole/setup.exe"));
    const size_t overhead = static_cast<size_t>(whole.payload_start) + trailer_size;
    const size_t payload = static_cast<size_t>(whole.header.payload_size);
    auto up8 = [](size_t n) { return (n + 7) / 8 * 8; };
    // Where the payload must lie for a disk size, given the program and its
    // header (which may hold a few bytes less padding than the whole build's):
    // the executable is as long as the size allows in multiples of 8, so that
    // a signing tool adds no padding; the disks are filled to the size.
    auto layout = [payload](size_t disk_size, size_t own_overhead) {
        size_t first = std::min(payload, disk_size / 8 * 8 - own_overhead);
        std::vector<size_t> parts = {first};
        for (size_t left = payload - first; left > 0; left -= std::min(left, disk_size))
            parts.push_back(std::min(left, disk_size));
        return parts;
    };
    struct Case {
        const char* what;
        size_t disk_size;
        size_t part_count;
    };
    const Case cases[] = {
        {"everything fits the executable", overhead + payload, 1},
        {"three parts", up8(overhead + 3000), 3},
        {"a size not a multiple of 8 holds back the executable, not the disks", up8(overhead + 3000) + 5, 3},
        {"a few payload bytes beside the program", up8(overhead), payload / up8(overhead) + 2},
    };
    for (const Case& c : cases) {
        PackOptions pack;
        pack.disk_size = static_cast<int64_t>(c.disk_size);
        std::string output = path(std::string(c.what) + "/setup.exe");
        build_from(manifest, output, pack);
        Installer installer = open_installer(output);
        GatheredPayload gathered = gather_stored_payload(installer);
        std::vector<size_t> parts = layout(c.disk_size, static_cast<size_t>(installer.payload_start) + trailer_size);
        EXPECT_EQ(gathered.part_sizes, parts) << c.what;
        EXPECT_EQ(parts.size(), c.part_count) << c.what;
        EXPECT_LE(bytes_of(output).size(), c.disk_size) << c.what;
        EXPECT_EQ(bytes_of(output).size() % 8, 0u) << c.what;
        for (size_t n = 2; n <= parts.size(); ++n) {
            EXPECT_LE(bytes_of(path(std::string(c.what) + "/Disk" + std::to_string(n) + ".SEA")).size(), c.disk_size)
                << c.what << " disk " << n;
        }
        EXPECT_EQ(read_records(installer, gathered.stored).size(), 4u) << c.what;
    }
}

TEST_F(Builds, ASourceIsPackedAsItStandsWhenItIsRead) {
    // The payload is laid out from the sizes seen beforehand; a source that
    // grows or shrinks after the manifest's check is packed whole all the
    // same, its record's length and checksum those of what was read.
    std::string manifest_path = demo_manifest();
    Manifest manifest = load_manifest(manifest_path);
    std::string grown = std::string(300000, 'g') + "tail";
    write("files/demo.exe", grown);
    write("files/Demo.ttf", "");
    write("files/empty.dat", "now some bytes");
    PackOptions pack;
    pack.level = CompressionLevel::fast;
    std::string output = path("out/setup.exe");
    build_installer(manifest, test_stub(), output, pack, ManifestOptions());

    Installer installer = open_installer(output);
    std::vector<Record> records = read_records(installer, gather_stored_payload(installer).stored);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(text_of(records[0].content), grown);
    EXPECT_EQ(records[0].label, "Demo");
    EXPECT_EQ(text_of(records[1].content), "now some bytes");
    EXPECT_EQ(text_of(records[2].content), std::string(5000, '\x01') + "shared");
    EXPECT_TRUE(records[3].content.empty());
    EXPECT_EQ(records[3].label, "Demo Sans");
}

TEST_F(Builds, ADiskSmallerThanTheProgramIsRefused) {
    PackOptions pack;
    pack.disk_size = 20;
    EXPECT_THROW(build_from(demo_manifest(), path("out/setup.exe"), pack), BuildError);
    EXPECT_FALSE(std::filesystem::exists(path("out")));
}

TEST_F(Builds, AFailedBuildLeavesNoFileBehind) {
    std::string manifest_path = demo_manifest();
    Manifest manifest = load_manifest(manifest_path);
    // The source goes away between the manifest's check and its reading.
    std::filesystem::remove(path("files/Demo.ttf"));
    write("out/keep.txt", "not ours");
    EXPECT_THROW(build_installer(manifest, test_stub(), path("out/setup.exe"), PackOptions(), ManifestOptions()),
                 BuildError);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(path("out"))) left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"keep.txt"});
}

TEST_F(Builds, OnlyABareInstallerProgramIsAStub) {
    build_from(demo_manifest(), path("first/setup.exe"));
    StubImage installer = test_stub();
    installer.bytes = bytes_of(path("first/setup.exe"));
    installer.path = "first/setup.exe";
    StubImage not_ending_in_zeros = test_stub();
    not_ending_in_zeros.bytes.back() = 1;
    not_ending_in_zeros.path = "tool.exe";
    StubImage tiny = test_stub();
    tiny.bytes = {0, 0, 0};
    StubImage text = test_stub();
    std::string licence = "Licence text, four zero bytes at its end";
    text.bytes.assign(licence.begin(), licence.end());
    text.bytes.insert(text.bytes.end(), 4, 0);
    text.path = "licence.txt";
    StubImage other_program = test_stub();
    other_program.bytes[0x58] = 0x07;  // a ROM image's optional header
    other_program.path = "rom.exe";
    struct Case {
        const StubImage& stub;
        std::string message;
    };
    const Case cases[] = {
        {installer, "the stub first/setup.exe already carries an archive"},
        {not_ending_in_zeros, "the stub tool.exe does not end in four zero bytes"},
        {tiny, "the embedded installer program is too short"},
        {text, "the stub licence.txt is not a Windows program"},
        {other_program, "the stub rom.exe is not a Windows program"},
    };
    Manifest manifest = load_manifest(demo_manifest());
    for (const Case& c : cases) {
        try {
            build_installer(manifest, c.stub, path("out/setup.exe"), PackOptions(), ManifestOptions());
            ADD_FAILURE() << "built on " << c.message;
        } catch (const BuildError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
        EXPECT_FALSE(std::filesystem::exists(path("out"))) << c.message;
    }
}

TEST_F(Builds, AWriteThatFailsLeavesNoInstallerAndNoTemporaryFile) {
    std::string manifest = demo_manifest("\"always_log\"");
    build_from(manifest, path("whole/setup.exe"));
    size_t overhead = static_cast<size_t>(open_installer(path("whole/setup.exe")).payload_start) + trailer_size;
    // Three parts: the program, Disk2.SEA and Disk3.SEA.
    PackOptions disks;
    disks.disk_size = static_cast<int64_t>(overhead + 3000);
    struct Case {
        const char* what;
        const char* in_the_way;  // a directory that no file can be renamed over
    };
    const Case cases[] = {
        {"the program", "setup.exe"},
        {"the second disk", "Disk2.SEA"},
        {"the last disk", "Disk3.SEA"},
    };
    for (const Case& c : cases) {
        std::string folder = path(std::string("out-") + c.in_the_way);
        write(std::string("out-") + c.in_the_way + "/" + c.in_the_way + "/keep.txt", "in the way");
        EXPECT_THROW(build_from(manifest, folder + "/setup.exe", disks), BuildError) << c.what;
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) left.push_back(entry.path().filename());
        EXPECT_EQ(left, std::vector<std::string>{c.in_the_way}) << c.what;
    }
}

TEST_F(Builds, SourceDateEpochHoldsBackTheProgramsDateButNoEarlierOne) {
    // The stand-in program is dated 1,000,000,000 seconds after 1970.
    struct Case {
        int64_t epoch;
        int64_t stub_date;
    };
    const Case cases[] = {{999999999, 999999999}, {1000000000, 1000000000}, {1000000001, 1000000000}};
    std::string manifest_path = demo_manifest();
    for (const Case& c : cases) {
        ManifestOptions dates;
        dates.source_date_epoch = c.epoch;
        std::string output = path("epoch-" + std::to_string(c.epoch) + "/setup.exe");
        build_installer(load_manifest(manifest_path, dates), test_stub(), output, PackOptions(), dates);
        EXPECT_EQ(seconds_of_local_date(open_installer(output).header.stub_date), c.stub_date) << c.epoch;
    }
}

TEST_F(Builds, DisksOfALongerEarlierBuildAreRemoved) {
    std::string manifest = demo_manifest("\"always_log\"");
    build_from(manifest, path("whole/setup.exe"));
    size_t overhead = static_cast<size_t>(open_installer(path("whole/setup.exe")).payload_start) + trailer_size;
    PackOptions small;
    small.disk_size = static_cast<int64_t>(overhead + 2000);
    build_from(manifest, path("out/setup.exe"), small);
    ASSERT_TRUE(std::filesystem::exists(path("out/Disk4.SEA")));
    write("out/Disk9.SEA", "not in the row");
    PackOptions larger;
    larger.disk_size = static_cast<int64_t>(overhead + 6000);
    build_from(manifest, path("out/setup.exe"), larger);
    EXPECT_TRUE(std::filesystem::exists(path("out/Disk2.SEA")));
    EXPECT_FALSE(std::filesystem::exists(path("out/Disk3.SEA")));
    EXPECT_FALSE(std::filesystem::exists(path("out/Disk4.SEA")));
    EXPECT_TRUE(std::filesystem::exists(path("out/Disk9.SEA")));
    EXPECT_EQ(verdict(path("out/setup.exe")), 0);
}

TEST(HeaderEncoding, TheKeyIsThePlainHeadersChecksum) {
    ArchiveHeader header;
    header.product_name = "Demo";
    header.welcome_text = "Welcome";
    Bytes stub = test_stub().bytes;
    InstallerParts parts = pack_installer(stub, header, Bytes(), PackOptions());
    const Bytes& exe = parts.executable;
    size_t start = stub.size();
    u32 length = load_le32(&exe[start + 4]);
    u32 key = load_le32(&exe[start + 8]);
    ByteBuffer block;
    block.append_bytes(&exe[start + archive_start_size], static_cast<i32>(length));
    xor_scramble_dword(block, key);
    ASSERT_TRUE(decompress_in_place(block));
    EXPECT_EQ(buffer_checksum(block), key);
    Bytes plain(block.data(), block.data() + block.size());
    EXPECT_EQ(plain, encode_header(header));
    EXPECT_EQ(load_le32(&exe[exe.size() - 4]), stub.size());
}

}  // namespace
