// `sea build`: a loaded manifest and the installer stub become an installer
// on disk. The files are read in the manifest's order, wrapped in records,
// and packed; nothing is written until the whole installer is in memory.
#pragma once

#include "builder/manifest.h"

#include <functional>

// The installer program that the archive is appended to, and its date. Its
// last four bytes are its trailer and must be zero: the bare program, not an
// installer (whose copy, Uninstall.EXE, would carry the old product's
// header) and not some other file.
struct StubImage {
    Bytes bytes;
    int64_t modified = 0;  // seconds since 1970
    std::string path;      // --stub's file, for messages; empty for the embedded one
};

struct BuildSummary {
    size_t files = 0;
    size_t plain_payload = 0;
    size_t stored_payload = 0;
    size_t executable = 0;
    size_t disks = 0;
};

// Reports each file before it is read (its index from 0; the manifest has
// the count and the sizes).
typedef std::function<void(size_t)> ReadProgress;

// Everything about the stub and the output that can be known before a
// byte is read or packed: the stub is a bare installer program, and the
// output is none of the build's inputs (the manifest, its text files, the
// sources, the stub). Throws BuildError.
void check_build(const Manifest& manifest, const StubImage& stub, const std::string& output);

BuildSummary build_installer(const Manifest& manifest, const StubImage& stub, const std::string& output,
                             const PackOptions& pack, const ManifestOptions& dates,
                             const ReadProgress& progress = nullptr);

