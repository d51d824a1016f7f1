// Building installers: what the tool writes reads back through the
// installer's own readers field for field and byte for byte, the same
// inputs give the same bytes, a multi-disk installer splits where the
// installer will gather, a failed build leaves no file behind, and only a
// bare installer program is built on.
#include "builder_fixtures.h"

#include <unistd.h>

namespace {

class Builds : public ScratchDirectory {
protected:
    // A small product: programs with shortcuts, a shared file in a
    // subdirectory, a font, texts and dates; flags come beside
    // uninstall_support, which the shared file needs.
    std::string demo_manifest(const std::string& flags = "\"compressed_payload\"", const std::string& more = "") {
        write("files/demo.exe", "MZ" + std::string(3000, 'p') + "end of program");
        write("files/empty.dat", "");
        write("files/common/shared.dll", std::string(5000, '\x01') + "shared");
        write("files/Demo.ttf", "font bytes \xFF\x80\x7F");
        touch("files/demo.exe", 1200000000);
        return write("demo.toml",
                     "product_name = \"Demo\"\npublisher = \"Vendor\"\nversion = \"1.0\"\n"
                     "flags = [\"uninstall_support\", " + flags + "]\nreadme = \"Read me\"\n" + more +
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
        std::string compress;
        CompressionLevel level;
        bool compressed;
    };
    const Case cases[] = {
        {"compressed by default, best", "\"always_log\"", "", CompressionLevel::best, true},
        {"compressed by default, fast", "\"always_log\"", "", CompressionLevel::fast, true},
        {"compressed by the older flag", "\"compressed_payload\"", "", CompressionLevel::best, true},
        {"compressed as asked", "\"always_log\"", "compress = true\n", CompressionLevel::best, true},
        {"plain payload", "\"always_log\"", "compress = false\n", CompressionLevel::best, false},
    };
    for (const Case& c : cases) {
        PackOptions pack;
        pack.level = c.level;
        std::string output = path(std::string("out/") + c.what + ".exe");
        build_from(demo_manifest(c.flags, c.compress), output, pack);

        Installer installer = open_installer(output);
        EXPECT_EQ((installer.header.flags & header_flag::compressed_payload) != 0, c.compressed) << c.what;
        if (c.compressed)
            EXPECT_LT(static_cast<size_t>(installer.header.payload_size), size_t(5000)) << c.what;
        EXPECT_EQ(installer.archive_offset, static_cast<i32>(test_stub().bytes.size())) << c.what;
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
    std::string manifest = demo_manifest("\"always_log\"", "compress = false\n");
    build_from(manifest, path("whole/setup.exe"));
    Installer whole = open_installer(path("whole/setup.exe"));
    const size_t overhead = static_cast<size_t>(whole.payload_start) + trailer_size;
    const size_t payload = static_cast<size_t>(whole.header.payload_size);
    // With no room beside the program, every payload byte goes to a disk.
    std::vector<size_t> all_on_disks = {0};
    for (size_t left = payload; left > 0; left -= std::min(left, overhead)) all_on_disks.push_back(std::min(left, overhead));
    struct Case {
        const char* what;
        size_t disk_size;
        std::vector<size_t> parts;  // bytes of payload in the executable, then each disk
    };
    const Case cases[] = {
        {"everything fits the executable", overhead + payload, {payload}},
        {"three parts", overhead + 3000, {3000, 3000 + overhead, payload - 6000 - overhead}},
        {"no payload byte in the executable", overhead, all_on_disks},
    };
    for (const Case& c : cases) {
        const std::vector<size_t>& parts = c.parts;
        PackOptions pack;
        pack.disk_size = static_cast<int64_t>(c.disk_size);
        std::string output = path(std::string(c.what) + "/setup.exe");
        build_from(manifest, output, pack);
        Installer installer = open_installer(output);
        GatheredPayload gathered = gather_stored_payload(installer);
        EXPECT_EQ(gathered.part_sizes, parts) << c.what;
        EXPECT_LE(bytes_of(output).size(), c.disk_size) << c.what;
        for (size_t n = 2; n <= parts.size(); ++n) {
            EXPECT_LE(bytes_of(path(std::string(c.what) + "/Disk" + std::to_string(n) + ".SEA")).size(), c.disk_size)
                << c.what << " disk " << n;
        }
        EXPECT_EQ(read_records(installer, gathered.stored).size(), 4u) << c.what;
    }
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
    StubImage licence = test_stub();
    std::string terms = "Terms of use: none.\n";
    licence.bytes.assign(terms.begin(), terms.end());
    licence.bytes.insert(licence.bytes.end(), 4, 0);
    licence.path = "licence.txt";
    StubImage library = test_stub();
    library.bytes = minimal_program(0x10B, 0x2102);
    library.path = "helper.dll";
    StubImage no_pe = test_stub();
    no_pe.bytes[0x41] = 'X';
    no_pe.path = "dos.exe";
    StubImage odd_header = test_stub();
    odd_header.bytes = minimal_program(0x107);
    odd_header.path = "rom.exe";
    struct Case {
        const StubImage& stub;
        std::string message;
    };
    const Case cases[] = {
        {installer, "the stub first/setup.exe already carries an archive"},
        {not_ending_in_zeros, "the stub tool.exe does not end in four zero bytes"},
        {tiny, "the embedded installer program is not a Windows program (no MZ header)"},
        {licence, "the stub licence.txt is not a Windows program (no MZ header), so it is not the installer program"},
        {library, "the stub helper.dll is not a Windows program (a library or an object, not an executable)"},
        {no_pe, "the stub dos.exe is not a Windows program (no PE header)"},
        {odd_header, "the stub rom.exe is not a Windows program (neither PE32 nor PE32+)"},
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

TEST_F(Builds, NoOutputReplacesAnInputOfTheBuild) {
    std::string manifest = demo_manifest("\"always_log\"", "licence_file = \"files/licence.txt\"\ncompress = false\n");
    write("files/licence.txt", "Terms");
    // A source named like the disk file that a split build writes beside
    // setup.exe in the same folder.
    write("Disk2.SEA", std::string(4000, 'd'));
    std::string with_disk = write("disk.toml", "product_name = \"Disk\"\ncompress = false\n[[file]]\nsource = \"Disk2.SEA\"\n");
    write("stub.exe", text_of(test_stub().bytes));
    struct Case {
        std::string manifest;
        std::string output;
        std::string message;
        int64_t disk_size;
    };
    const Case cases[] = {
        {manifest, manifest, "the output " + manifest + " is the manifest; give another name with -o", 0},
        {manifest, path("files/demo.exe"), "is the source of " + path("demo.toml") + ":8: file #1 (files/demo.exe)", 0},
        {manifest, path("files/../files/licence.txt"), "is a text file of the manifest", 0},
        {manifest, path("stub.exe"), "is the stub", 0},
        {with_disk, path("setup.exe"), "the output " + path("Disk2.SEA") + " is the source of", 3000},
    };
    for (const Case& c : cases) {
        Bytes before = bytes_of(c.output);
        StubImage stub = test_stub();
        stub.path = path("stub.exe");
        PackOptions pack;
        pack.disk_size = c.disk_size;
        try {
            build_installer(load_manifest(c.manifest), stub, c.output, pack, ManifestOptions());
            ADD_FAILURE() << "wrote " << c.output;
        } catch (const BuildError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
        EXPECT_EQ(bytes_of(c.output), before) << c.output;
    }
    EXPECT_FALSE(std::filesystem::exists(path("setup.exe")));
}

TEST_F(Builds, AWriteThatFailsLeavesNoInstallerAndNoTemporaryFile) {
    std::string manifest = demo_manifest("\"always_log\"", "compress = false\n");
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
    std::string manifest = demo_manifest("\"always_log\"", "compress = false\n");
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
