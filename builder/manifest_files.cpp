// Expanding [[file]] entries. Directory walks and pattern matches are sorted
// by their bytes, never by the locale, so the same tree gives the same
// archive on every machine; sizes are taken from the file system and checked
// against the format's limits before anything is read.
#include "builder/manifest_files.h"

#include "builder/ansi.h"
#include "builder/system.h"

#include <ctype.h>
#include <stdlib.h>

#include <algorithm>
#include <initializer_list>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool is_pattern(const std::string& source) { return source.find_first_of("*?[") != std::string::npos; }

std::string base_name(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stem(const std::string& name) {
    std::string last = base_name(name);
    size_t dot = last.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? last : last.substr(0, dot);
}

std::string backslashes(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

struct Found {
    std::string path;      // on the host
    std::string relative;  // below the source, with '/'
};

// Every file below dir (symbolic links to files count, links to directories
// are not followed), sorted by relative path.
std::vector<Found> walk(const std::string& dir) {
    std::vector<Found> found;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        found.push_back({entry.path().string(), entry.path().lexically_relative(dir).generic_string()});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.relative < b.relative; });
    return found;
}

// One part of a pattern against one name: "*" any run of characters, "?" one,
// "[abc]", "[a-z]" and "[!abc]" one of a set. A leading dot of the name is
// matched only by a dot in the pattern.
bool part_matches(const char* pattern, const char* name, bool at_start = true) {
    for (; *pattern; ++pattern, ++name) {
        if (at_start && *name == '.' && *pattern != '.') return false;
        at_start = false;
        if (*pattern == '*') {
            while (pattern[1] == '*') ++pattern;
            for (const char* rest = name;; ++rest) {
                if (part_matches(pattern + 1, rest, false)) return true;
                if (!*rest) return false;
            }
        }
        if (!*name) return false;
        if (*pattern == '[') {
            const char* p = pattern + 1;
            bool negated = *p == '!' || *p == '^';
            if (negated) ++p;
            bool found = false;
            const char* first = p;
            for (; *p && (*p != ']' || p == first); ++p) {
                if (p[1] == '-' && p[2] && p[2] != ']') {
                    found |= static_cast<unsigned char>(*name) >= static_cast<unsigned char>(p[0]) &&
                             static_cast<unsigned char>(*name) <= static_cast<unsigned char>(p[2]);
                    p += 2;
                } else {
                    found |= *name == *p;
                }
            }
            // An unclosed bracket is a plain character.
            if (!*p) {
                if (*name != '[') return false;
                continue;
            }
            if (found == negated) return false;
            pattern = p;
            continue;
        }
        if (*pattern != '?' && *pattern != *name) return false;
    }
    return !*name;
}

// A pattern's parts below the folder it starts from: "*" and "?" stay within
// one part, "**" as a whole part matches any number of folders, none
// included. Names starting with a dot are matched only by a part that starts
// with one, and links to folders are not followed.
class PatternMatcher {
public:
    explicit PatternMatcher(std::vector<std::string> parts) : parts_(std::move(parts)) {}

    std::vector<Found> match(const std::string& dir) {
        found_.clear();
        visit(dir, "", 0);
        std::sort(found_.begin(), found_.end(), [](const Found& a, const Found& b) { return a.relative < b.relative; });
        found_.erase(std::unique(found_.begin(), found_.end(),
                                 [](const Found& a, const Found& b) { return a.relative == b.relative; }),
                     found_.end());
        return found_;
    }

private:
    static std::string joined(const std::string& a, const std::string& b) { return a.empty() ? b : a + "/" + b; }

    void visit(const std::string& dir, const std::string& relative, size_t part) {
        const bool last = part + 1 == parts_.size();
        std::error_code error;
        if (parts_[part] == "**") {
            // Everything below: the directory itself, walked by the caller.
            if (last) {
                found_.push_back({dir, relative});
                return;
            }
            visit(dir, relative, part + 1);
            for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
                std::string name = entry.path().filename().string();
                if (name[0] == '.' || entry.is_symlink() || !entry.is_directory()) continue;
                visit(entry.path().string(), joined(relative, name), part);
            }
            return;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
            std::string name = entry.path().filename().string();
            if (!part_matches(parts_[part].c_str(), name.c_str())) continue;
            if (last) {
                found_.push_back({entry.path().string(), joined(relative, name)});
            } else if (entry.is_directory() && !entry.is_symlink()) {
                visit(entry.path().string(), joined(relative, name), part + 1);
            }
        }
    }

    std::vector<std::string> parts_;
    std::vector<Found> found_;
};

// The matches of a pattern, each with its name below the last folder
// before the first part with a wildcard.
std::vector<Found> pattern_matches(const std::string& path) {
    std::vector<std::string> parts;
    std::string root = fs::path(path).root_path().string();
    for (const fs::path& part : fs::path(path).relative_path()) {
        if (!part.empty()) parts.push_back(part.string());
    }
    size_t fixed = 0;
    while (fixed < parts.size() && !is_pattern(parts[fixed])) ++fixed;
    std::string dir = root;
    for (size_t i = 0; i < fixed; ++i) dir += parts[i] + (i + 1 < fixed ? "/" : "");
    if (dir.empty()) dir = ".";
    return PatternMatcher(std::vector<std::string>(parts.begin() + fixed, parts.end())).match(dir);
}

}  // namespace

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with or without an extension, in
// any case: Windows opens the device, not a file.
bool is_device_name(const std::string& part) {
    std::string stem = part.substr(0, part.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (stem == device) return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

std::string name_problem(const std::string& name) {
    if (name.empty()) return "the name is empty";
    // The installer's rule first, so that what it would refuse is never built.
    NameFault fault = entry_name_fault(name.c_str());
    if (fault != NameFault::none) return name_fault_meaning(fault);
    size_t start = 0;
    for (;;) {
        size_t end = name.find('\\', start);
        std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty()) return "the name has an empty part";
        if (part == ".") return "the name has a part \".\"";
        if (part.back() == '.' || part.back() == ' ')
            return "the part \"" + part + "\" ends in a dot or a blank, which Windows drops from names";
        if (is_device_name(part)) return "\"" + part + "\" is a name that Windows keeps for a device";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    for (unsigned char c : name) {
        if (c < 0x20 || std::string("<>:\"/|?*").find(static_cast<char>(c)) != std::string::npos)
            return "the name holds a character that Windows refuses in names";
    }
    return "";
}

void FileExpander::expand(const FileRequest& request, std::vector<ManifestFile>& files) {
    std::string source;
    for (size_t i = 0; i < request.source.size(); ++i) {
        if (request.source.compare(i, 2, "${") != 0) {
            source += request.source[i];
            continue;
        }
        size_t end = request.source.find('}', i);
        if (end == std::string::npos) throw ManifestError(request.describe + ": \"${\" without \"}\"");
        std::string variable = request.source.substr(i + 2, end - i - 2);
        const char* value = getenv(variable.c_str());
        if (!value) throw ManifestError(request.describe + ": the environment variable " + variable + " is not set");
        source += value;
        i = end;
    }
    if (source.empty()) throw ManifestError(request.describe + ": the source is empty");
    std::string path = fs::path(source).has_root_path() ? source : base_ + source;
    if (request.has_name && request.name.empty()) throw ManifestError(request.describe + ": the name is empty");

    std::vector<Found> found;
    bool many = true;
    if (path.find("**") != std::string::npos) {
        // The names keep the path below the folders before the first wildcard.
        for (const Found& match : pattern_matches(path)) {
            if (fs::is_directory(match.path)) {
                for (Found& below : walk(match.path))
                    found.push_back({below.path, match.relative.empty() ? below.relative
                                                                        : match.relative + "/" + below.relative});
            } else if (fs::is_regular_file(match.path)) {
                found.push_back(match);
            }
        }
        std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.relative < b.relative; });
        if (found.empty()) throw ManifestError(request.describe + ": no file matches " + path);
    } else if (is_pattern(source)) {
        std::vector<std::string> paths;
        for (const Found& match : pattern_matches(path)) paths.push_back(match.path);
        std::sort(paths.begin(), paths.end());
        for (const std::string& match : paths) {
            if (fs::is_directory(match)) {
                for (Found& below : walk(match)) found.push_back({below.path, base_name(match) + "/" + below.relative});
            } else if (fs::is_regular_file(match)) {
                found.push_back({match, base_name(match)});
            }
        }
        if (found.empty()) throw ManifestError(request.describe + ": no file matches " + path);
    } else {
        std::error_code error;
        fs::file_status status = fs::status(path, error);
        if (error || !fs::exists(status)) throw ManifestError(request.describe + ": source not found: " + path);
        if (fs::is_directory(status)) {
            found = walk(path);
            if (found.empty()) throw ManifestError(request.describe + ": no file below " + path);
        } else if (fs::is_regular_file(status)) {
            found.push_back({path, base_name(path)});
            many = false;
        } else {
            throw ManifestError(request.describe + ": not a file or directory: " + path);
        }
    }
    if (many && request.has_label) throw ManifestError(request.describe + ": a label needs a source of one file");
    for (const Found& file : found) add(request, file.path, file.relative, many, files);
}

void FileExpander::add(const FileRequest& request, const std::string& path, const std::string& relative, bool many,
                       std::vector<ManifestFile>& files) {
    ManifestFile file;
    file.source = path;
    file.entry = request.describe;
    std::string relative_ansi;
    if (!to_ansi(relative, relative_ansi))
        throw ManifestError(request.describe + ": " + relative + ": the name has no place in the Windows-1252 code page");
    if (!many && request.has_name) {
        file.name = backslashes(request.name);
    } else if (request.has_name) {
        file.name = backslashes(request.name + "/" + relative_ansi);
    } else {
        file.name = backslashes(relative_ansi);
    }
    // Names are kept in the installer's code page and shown in the tool's.
    std::string shown = file.name;
    from_ansi(file.name, shown);
    std::string problem = name_problem(file.name);
    from_ansi(problem, problem);
    if (!problem.empty()) throw ManifestError(request.describe + ": name \"" + shown + "\": " + problem);
    if (request.kind == kind_font && file.name.find('\\') != std::string::npos)
        throw ManifestError(request.describe + ": name \"" + shown +
                            "\": a font goes straight into the Fonts folder, without a directory");
    if (request.shortcut_flags && request.kind != kind_program && request.kind != kind_startup_program)
        throw ManifestError(request.describe + ": shortcuts are made for programs and startup programs only");
    file.kind = request.kind;
    file.shortcut_flags = request.shortcut_flags;
    file.label = request.has_label ? request.label : stem(file.name);

    std::error_code error;
    uintmax_t size = fs::file_size(path, error);
    int64_t modified = 0;
    if (error || !file_modified(path, modified)) throw ManifestError(request.describe + ": cannot read " + path);
    file.size = static_cast<uint64_t>(size);
    file.date = date_of(request, modified);

    // The record's length is an i32, and the whole plain payload must fit
    // the block that carries it.
    uint64_t record = file.size + file.name.size() + file.label.size() + record_fixed_size;
    if (file.size > static_cast<uint64_t>(i32_max))
        throw ManifestError(request.describe + ": " + path + " is larger than a file of an installer can be (" +
                            std::to_string(i32_max) + " bytes)");
    payload_ += record;
    if (payload_ > options_.payload_limit)
        throw ManifestError(request.describe + ": " + path + " makes the payload larger than an installer can hold (" +
                            std::to_string(options_.payload_limit) + " bytes)");
    files.push_back(file);
}

DateTime FileExpander::date_of(const FileRequest& request, int64_t modified) const {
    if (request.date) return *request.date;
    if (default_date_) return *default_date_;
    if (options_.source_date_epoch && modified > *options_.source_date_epoch) modified = *options_.source_date_epoch;
    return local_date(modified);
}
