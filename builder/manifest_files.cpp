// Expanding [[file]] entries. Directory walks and pattern matches are sorted
// by their bytes, never by the locale, so the same tree gives the same
// archive on every machine; sizes are taken from the file system and checked
// against the format's limits before anything is read.
#include "builder/manifest_files.h"

#include "builder/ansi.h"

#include <ctype.h>
#include <fnmatch.h>
#include <glob.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

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

// Whether the parts of a relative path match the parts of a pattern, where
// a part "**" matches any number of folders, none included.
bool matches_parts(const std::vector<std::string>& pattern, size_t p, const std::vector<std::string>& path, size_t q) {
    if (p == pattern.size()) return q == path.size();
    if (pattern[p] == "**") {
        for (size_t skip = q; skip <= path.size(); ++skip) {
            if (matches_parts(pattern, p + 1, path, skip)) return true;
        }
        return false;
    }
    return q < path.size() && fnmatch(pattern[p].c_str(), path[q].c_str(), FNM_PERIOD) == 0 &&
           matches_parts(pattern, p + 1, path, q + 1);
}

std::vector<std::string> parts_of(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('/', start);
        parts.push_back(path.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// A pattern with "**": every file below the folders before its first
// wildcard whose path below them matches the rest. The names keep that path.
std::vector<Found> match_any_depth(const std::string& pattern) {
    std::vector<std::string> parts = parts_of(pattern);
    std::string base;
    size_t first = 0;
    for (; first < parts.size() && !is_pattern(parts[first]); ++first) base += (first ? "/" : "") + parts[first];
    if (pattern[0] == '/' && base.empty()) base = "/";
    std::vector<std::string> rest(parts.begin() + static_cast<std::ptrdiff_t>(first), parts.end());
    std::vector<Found> found;
    std::error_code error;
    if (!fs::is_directory(base.empty() ? "." : base, error)) return found;
    for (Found& file : walk(base.empty() ? "." : base)) {
        if (matches_parts(rest, 0, parts_of(file.relative), 0)) found.push_back(file);
    }
    return found;
}

}  // namespace

DateTime local_date(int64_t seconds) {
    time_t time = static_cast<time_t>(seconds);
    struct tm parts = {};
    localtime_r(&time, &parts);
    DateTime date;
    date.year = parts.tm_year + 1900;
    date.month = parts.tm_mon + 1;
    date.day = parts.tm_mday;
    date.hour = parts.tm_hour;
    date.minute = parts.tm_min;
    date.second = parts.tm_sec;
    return date;
}

int64_t seconds_of_local_date(const DateTime& date) {
    struct tm parts = {};
    parts.tm_year = date.year - 1900;
    parts.tm_mon = date.month - 1;
    parts.tm_mday = date.day;
    parts.tm_hour = date.hour;
    parts.tm_min = date.minute;
    parts.tm_sec = date.second;
    parts.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&parts));
}

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
    std::string path = source[0] == '/' ? source : base_ + source;
    if (request.has_name && request.name.empty()) throw ManifestError(request.describe + ": the name is empty");

    std::vector<Found> found;
    bool many = true;
    if (path.find("**") != std::string::npos) {
        found = match_any_depth(path);
        if (found.empty()) throw ManifestError(request.describe + ": no file matches " + path);
    } else if (is_pattern(source)) {
        glob_t matches = {};
        int result = glob(path.c_str(), GLOB_ERR, nullptr, &matches);
        std::vector<std::string> paths(matches.gl_pathv, matches.gl_pathv + (result == 0 ? matches.gl_pathc : 0));
        globfree(&matches);
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
    std::string problem = name_problem(file.name);
    if (!problem.empty()) throw ManifestError(request.describe + ": name \"" + file.name + "\": " + problem);
    if (request.kind == kind_font && file.name.find('\\') != std::string::npos)
        throw ManifestError(request.describe + ": name \"" + file.name +
                            "\": a font goes straight into the Fonts folder, without a directory");
    if (request.shortcut_flags && request.kind != kind_program && request.kind != kind_startup_program)
        throw ManifestError(request.describe + ": shortcuts are made for programs and startup programs only");
    file.kind = request.kind;
    file.shortcut_flags = request.shortcut_flags;
    file.label = request.has_label ? request.label : stem(file.name);

    struct stat status;
    if (stat(path.c_str(), &status) != 0) throw ManifestError(request.describe + ": cannot read " + path);
    file.size = static_cast<uint64_t>(status.st_size);
    file.date = date_of(request, static_cast<int64_t>(status.st_mtime));

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
