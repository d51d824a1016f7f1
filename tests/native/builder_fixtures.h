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

// A stand-in for the installer program: the headers of a 32-bit Windows
// program (MZ, the offset of PE, its signature and the optional header's
// magic), and an image that ends in four zero bytes like the real one.
inline StubImage test_stub() {
    StubImage stub;
    stub.bytes.assign(0x80, 0);
    stub.bytes[0] = 'M';
    stub.bytes[1] = 'Z';
    stub.bytes[0x3C] = 0x40;
    stub.bytes[0x40] = 'P';
    stub.bytes[0x41] = 'E';
    stub.bytes[0x58] = 0x0B;
    stub.bytes[0x59] = 0x01;
    std::string image = "stand-in for the installer program";
    stub.bytes.insert(stub.bytes.end(), image.begin(), image.end());
    stub.bytes.insert(stub.bytes.end(), 4, 0);
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
