// Reading installers as `sea verify`, `list` and `extract` do: each damage
// named with the code the installer would show, disks missing or empty,
// extraction giving back every byte and date, and names or links that would
// lead outside the target directory refused before anything is written: the
// names with the installer's own code 120.
#include "builder_fixtures.h"

#include "builder/damage.h"
#include "builder/extract.h"

#include <unistd.h>

namespace {

class Installers : public ScratchDirectory {
protected:
    // A two-file product, compressed or plain, optionally over several disks.
    std::string build(const std::string& directory, bool compressed, int64_t disk_size = 0) {
        write("files/tool.exe", "MZ" + std::string(4000, 't') + "tool");
        write("files/readme.txt", "Read this first.\r\n");
        touch("files/tool.exe", 1300000000);
        std::string manifest = write(
            "m.toml", std::string("product_name = \"Demo\"\nflags = [\"uninstall_support\"") +
                          (compressed ? ", \"compressed_payload\"]\n" : "]\ncompress = false\n") +
                          "[[file]]\nsource = \"files/tool.exe\"\nname = 'bin\\tool.exe'\n"
                          "[[file]]\nsource = \"files/readme.txt\"\nkind = \"shared\"\n");
        PackOptions pack;
        pack.disk_size = disk_size;
        std::string output = path(directory + "/setup.exe");
        build_from(manifest, output, pack);
        return output;
    }

    // An installer whose records are written as given, names unchecked.
    std::string hand_made(const std::string& directory, const std::vector<std::string>& names) {
        Bytes payload;
        DateTime date;
        for (const std::string& name : names) encode_record(payload, name, kind_program, 0,
                                                            reinterpret_cast<const u8*>("x"), 1, date, "");
        ArchiveHeader header;
        header.file_count = static_cast<i32>(names.size());
        std::string output = path(directory + "/setup.exe");
        write_installer(pack_installer(test_stub().bytes, header, payload, PackOptions()), output);
        return output;
    }

    size_t overhead(const std::string& installer) {
        return static_cast<size_t>(open_installer(installer).payload_start) + trailer_size;
    }
};

TEST_F(Installers, EachDamageIsNamedWithTheInstallersCode) {
    struct Case {
        const char* place;
        bool compressed;
        i32 code;
    };
    const Case cases[] = {
        {"trailer-negative", true, 10}, {"trailer-beyond", true, 20},  {"magic", true, 20},
        {"header-length", true, 22},    {"header-key", true, 25},      {"header-byte", true, 25},
        {"stub-byte", true, 40},        {"payload-byte", true, 60},    {"record-name", true, 70},
        {"record-length", false, 80},   {"record-content", true, 90},  {"record-checksum", false, 100},
        {"record-kind", true, 110},     {"record-checksum", true, 100}, {"record-escape", true, 120},
        {"record-escape", false, 120},
    };
    for (const Case& c : cases) {
        std::string installer = build(std::string(c.place) + (c.compressed ? "-packed" : "-plain"), c.compressed);
        ASSERT_EQ(verdict(installer), 0) << c.place;
        damage_installer(installer, c.place);
        std::string message;
        EXPECT_EQ(verdict(installer, &message), c.code) << c.place << ": " << message;
    }
}

TEST_F(Installers, RecordsAreDamagedOnEveryDiskLayout) {
    std::string first = build("probe", true);
    std::string installer = build("multi", true, static_cast<int64_t>(overhead(first)) + 30);
    ASSERT_TRUE(std::filesystem::exists(path("multi/Disk2.SEA")));
    damage_installer(installer, "record-kind");
    EXPECT_EQ(verdict(installer), 110);
    EXPECT_TRUE(std::filesystem::exists(path("multi/Disk2.SEA")));
}

TEST_F(Installers, CorruptTokensInThePayloadEndInTheDecodersReport) {
    // A payload block whose only token copies from before its start.
    Bytes block = {0xA0, 0x2B, 0xC7, 0x9E, 0xFF, 0x00, 0x00};
    scramble_byte(block, static_cast<u8>(block.size()));
    ArchiveHeader header;
    header.flags = header_flag::compressed_payload;
    header.file_count = 1;
    InstallerParts parts = pack_installer(test_stub().bytes, header, Bytes(), PackOptions());
    // Replace the stored payload (an empty block) with the corrupt one.
    Installer probe;
    std::string output = path("bad/setup.exe");
    write_installer(parts, output);
    probe = open_installer(output);
    Bytes& exe = parts.executable;
    exe.resize(static_cast<size_t>(probe.payload_start));
    exe.insert(exe.end(), block.begin(), block.end());
    exe.insert(exe.end(), {0, 0, 0, 0});
    store_le32(&exe[exe.size() - 4], static_cast<u32>(probe.archive_offset));
    write_installer(parts, output);
    EXPECT_EXIT(verdict(output), ::testing::ExitedWithCode(1), "Decompress error 1: 0 4 1");
}

TEST_F(Installers, AMissingOrEmptyDiskIsReported) {
    std::string first = build("probe", false);
    std::string installer = build("multi", false, static_cast<int64_t>(overhead(first)) + 1500);
    ASSERT_TRUE(std::filesystem::exists(path("multi/Disk3.SEA")));
    EXPECT_EQ(verdict(installer), 0);

    std::filesystem::rename(path("multi/Disk3.SEA"), path("Disk3.SEA"));
    std::string message;
    EXPECT_EQ(verdict(installer, &message), -1);
    EXPECT_EQ(message, "Disk3.SEA is missing: the installer would ask for disk #3");

    write("multi/Disk3.SEA", "");
    EXPECT_EQ(verdict(installer, &message), -1);
    EXPECT_EQ(message, "The file " + path("multi/Disk3.SEA") + " is empty.");
}

TEST_F(Installers, NoArchiveIsNoInstaller) {
    Bytes bare = minimal_program();
    write("bare.exe", text_of(bare));
    std::string message;
    EXPECT_EQ(verdict(path("bare.exe"), &message), -1);
    EXPECT_EQ(message, "no installation archive present");
}

TEST_F(Installers, ExtractionGivesBackEveryByteAndDate) {
    std::string first = build("probe", true);
    std::string installer = build("multi", true, static_cast<int64_t>(overhead(first)) + 30);
    ASSERT_TRUE(std::filesystem::exists(path("multi/Disk2.SEA")));
    Installer opened = open_installer(installer);
    extract_records(read_records(opened, gather_stored_payload(opened).stored), path("out"));
    EXPECT_EQ(bytes_of(path("out/program/bin/tool.exe")), bytes_of(path("files/tool.exe")));
    EXPECT_EQ(bytes_of(path("out/shared/readme.txt")), bytes_of(path("files/readme.txt")));
    struct stat extracted, source;
    ASSERT_EQ(stat(path("out/program/bin/tool.exe").c_str(), &extracted), 0);
    ASSERT_EQ(stat(path("files/tool.exe").c_str(), &source), 0);
    EXPECT_EQ(extracted.st_mtime, source.st_mtime);
    ASSERT_EQ(stat(path("out/shared/readme.txt").c_str(), &extracted), 0);
    ASSERT_EQ(stat(path("files/readme.txt").c_str(), &source), 0);
    EXPECT_EQ(extracted.st_mtime, source.st_mtime);
}

TEST_F(Installers, NamesLeadingOutsideAreCode120AndNothingIsExtracted) {
    const char* refused[] = {"..\\escape.txt", "a\\..\\..\\escape.txt", "\\escape.txt", "/escape.txt",
                             "C:\\escape.txt", "C:escape.txt", "a/../../escape.txt", "..", "a\\.."};
    for (const char* name : refused) {
        std::string installer = hand_made("hostile", {"first.txt", name});
        std::string message;
        EXPECT_EQ(verdict(installer, &message), 120) << name;
        EXPECT_NE(message.find("error code 120: a file record's name leaves its folder (record 2 of 2)"),
                  std::string::npos)
            << message;
        try {
            extract_installer(installer, path("target/inner"));
            ADD_FAILURE() << "extracted " << name;
        } catch (const ArchiveProblem& problem) {
            EXPECT_EQ(problem.code, 120) << name << ": " << problem.what();
        }
        EXPECT_FALSE(std::filesystem::exists(path("target"))) << name;
        EXPECT_FALSE(std::filesystem::exists(path("escape.txt"))) << name;
    }
}

TEST_F(Installers, ANameTheHostCannotWriteIsRefusedBeforeAnythingIsWritten) {
    // Safe for the installer, but no file for extract to write.
    std::string installer = hand_made("odd", {"first.txt", ".\\"});
    EXPECT_EQ(verdict(installer), 0);
    try {
        extract_installer(installer, path("target"));
        ADD_FAILURE() << "extracted";
    } catch (const ArchiveProblem& problem) {
        EXPECT_NE(std::string(problem.what()).find("refusing to extract \".\\\" (record 2)"), std::string::npos)
            << problem.what();
    }
    EXPECT_FALSE(std::filesystem::exists(path("target/program/first.txt")));
}

TEST(ExtractedNames, AreRefusedByTheArchivesRuleThenByTheHostsNeeds) {
    struct Case {
        const char* name;
        const char* problem;
    };
    const Case cases[] = {
        {"..\\a.txt", "\"..\" part"},
        {"a\\b:c.txt", "drive"},
        {"/a.txt", "root"},
        {".\\", "names no file"},
        {"a\x81.txt", "no character"},
    };
    std::vector<std::string> parts;
    for (const Case& c : cases) {
        std::string problem = split_record_name(c.name, parts);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.name << ": " << problem;
    }
}

TEST_F(Installers, HarmlessOddPartsOfANameAreDropped) {
    std::vector<std::string> parts;
    EXPECT_EQ(split_record_name("a\\\\.\\b/c.txt", parts), "");
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "c.txt"}));
    EXPECT_EQ(split_record_name("caf\xE9.txt", parts), "");
    EXPECT_EQ(parts, std::vector<std::string>{"caf\xC3\xA9.txt"});
    EXPECT_EQ(split_record_name("...\\..x", parts), "");
    EXPECT_EQ(parts, (std::vector<std::string>{"...", "..x"}));
}

TEST_F(Installers, ALinkPlantedInTheTargetLeadsNowhere) {
    std::string installer = hand_made("linked", {"sub\\payload.txt"});
    std::filesystem::create_directories(path("target/program"));
    std::filesystem::create_directories(path("outside"));
    std::filesystem::create_directory_symlink(path("outside"), path("target/program/sub"));
    Installer opened = open_installer(installer);
    std::vector<Record> records = read_records(opened, gather_stored_payload(opened).stored);
    EXPECT_THROW(extract_records(records, path("target")), ArchiveProblem);
    EXPECT_TRUE(std::filesystem::is_empty(path("outside")));

    std::filesystem::remove(path("target/program/sub"));
    std::filesystem::create_directories(path("target/program/sub"));
    write("outside/victim.txt", "mine");
    std::filesystem::create_symlink(path("outside/victim.txt"), path("target/program/sub/payload.txt"));
    EXPECT_THROW(extract_records(records, path("target")), ArchiveProblem);
    EXPECT_EQ(text_of(bytes_of(path("outside/victim.txt"))), "mine");
}

}  // namespace
