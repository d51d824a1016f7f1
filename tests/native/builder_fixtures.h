// Small fixtures for the `sea` tool's tests: a scratch directory that is
// removed afterwards, files written into it, and an installer stub that is
// only bytes (the tool never runs it).
#pragma once

#include "builder/build.h"
#include "builder/reader.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class ScratchDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/sea-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(root); }

    std::string path(const std::string& relative) const { return root + "/" + relative; }

    // Writes text to a file below the scratch directory, with its parents.
    std::string write(const std::string& relative, const std::string& text) const {
        std::string file = path(relative);
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream out(file, std::ios::binary);
        out << text;
        return file;
    }

    // Sets a file's modification time (seconds since 1970).
    void touch(const std::string& relative, int64_t seconds) const {
        struct timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path(relative).c_str(), times, 0), 0);
    }

    static Bytes bytes_of(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    static std::string text_of(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

    std::string root;
};

// The smallest image the tool takes for a Windows program: an MZ header
// pointing at a PE header of an executable with a PE32 optional header's
// magic, then text, then the four zero bytes of a bare installer program.
inline Bytes minimal_program(unsigned optional_magic = 0x10B, unsigned characteristics = 0x0102) {
    Bytes image(0x40, 0);
    image[0] = 'M', image[1] = 'Z';
    image[0x3C] = 0x40;
    const u8 pe[] = {'P', 'E', 0, 0, 0x4C, 0x01, 0, 0};
    image.insert(image.end(), pe, pe + sizeof pe);
    image.resize(0x40 + 24 + 2, 0);
    image[0x40 + 22] = static_cast<u8>(characteristics), image[0x40 + 23] = static_cast<u8>(characteristics >> 8);
    image[0x40 + 24] = static_cast<u8>(optional_magic), image[0x40 + 25] = static_cast<u8>(optional_magic >> 8);
    std::string text = "stand-in for the installer program";
    image.insert(image.end(), text.begin(), text.end());
    image.insert(image.end(), 4, 0);
    return image;
}

// A stand-in for the installer program: its image ends in four zero bytes
// like the real one.
inline StubImage test_stub() {
    StubImage stub;
    stub.bytes = minimal_program();
    stub.modified = 1000000000;
    return stub;
}

// Builds an installer from manifest text written into the scratch directory.
inline BuildSummary build_from(const std::string& manifest_path, const std::string& output,
                               const PackOptions& pack = PackOptions()) {
    Manifest manifest = load_manifest(manifest_path);
    return build_installer(manifest, test_stub(), output, pack, ManifestOptions());
}

// What the installer would report for the installer at path, in its order:
// 0 when it is sound, else the code (-1 for a problem without code).
inline i32 verdict(const std::string& path, std::string* message = nullptr) {
    try {
        Installer installer = open_installer(path);
        if (i32 code = check_stub(installer)) return code;
        read_records(installer, gather_stored_payload(installer).stored);
        return 0;
    } catch (const ArchiveProblem& problem) {
        if (message) *message = problem.what();
        return problem.code ? problem.code : -1;
    }
}
