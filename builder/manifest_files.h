// The expansion of the manifest's [[file]] entries into the files of the
// archive: a plain file, a directory (every file below it) or a pattern
// (every match), in an order that depends on nothing but the names, with
// their archive names, labels and dates, and with the limits of the format
// checked before any file is read.
#pragma once

#include "builder/manifest.h"

// One [[file]] entry as the manifest writes it.
struct FileRequest {
    size_t number = 0;
    size_t line = 0;
    std::string describe;  // "demo.toml:12: file #3 (bin/*.exe)"
    std::string source;    // as written, ${NAME} not yet replaced
    std::string name;      // ANSI, as written
    bool has_name = false;
    u32 kind = kind_program;
    u32 shortcut_flags = 0;
    std::string label;     // ANSI
    bool has_label = false;
    std::optional<DateTime> date;
};

// Refuses two names that Windows sees as one file, and warns of a name
// given twice; throws ManifestError naming both entries.
void check_names_differ(Manifest& manifest);

// An archive name (ANSI) as a terminal shows it, in UTF-8.
std::string shown_name(const std::string& ansi);

class FileExpander {
public:
    FileExpander(const std::string& manifest, const std::string& base, const ManifestOptions& options,
                 std::optional<DateTime> default_date)
        : manifest_(manifest), base_(base), options_(options), default_date_(default_date) {}

    // Appends the entry's files; throws ManifestError naming the entry.
    void expand(const FileRequest& request, std::vector<ManifestFile>& files);

private:
    void add(const FileRequest& request, const std::string& path, const std::string& relative, bool many,
             std::vector<ManifestFile>& files);
    DateTime date_of(const FileRequest& request, int64_t modified) const;

    std::string manifest_;
    std::string base_;
    ManifestOptions options_;
    std::optional<DateTime> default_date_;
    uint64_t payload_ = 0;
};
