// The manifest's keys: parsing the TOML file, refusing keys that mean
// nothing, and turning the values into the header's fields and the list of
// file entries that manifest_files.cpp expands. Each message starts with the
// manifest's path and the line of the entry it is about.
#include "builder/manifest.h"

#include "builder/ansi.h"
#include "builder/manifest_files.h"
#include "builder/system.h"

#include <toml++/toml.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// The header's texts, each given inline or as `KEY_file`.
struct TextKey {
    const char* key;
    String ArchiveHeader::*field;
    bool multiline;
};

const TextKey text_keys[] = {
    {"product_name", &ArchiveHeader::product_name, false},
    {"publisher", &ArchiveHeader::publisher, false},
    {"version", &ArchiveHeader::version_text, false},
    {"default_directory", &ArchiveHeader::default_directory, false},
    {"start_menu_folder", &ArchiveHeader::start_menu_folder, false},
    {"product_registry", &ArchiveHeader::product_registry, true},
    {"welcome", &ArchiveHeader::welcome_text, true},
    {"licence", &ArchiveHeader::licence_text, true},
    {"readme", &ArchiveHeader::readme_text, true},
    {"batch_before", &ArchiveHeader::batch_before, true},
    {"batch_after", &ArchiveHeader::batch_after, true},
    {"batch_last", &ArchiveHeader::batch_last, true},
    {"uninstall_batch1", &ArchiveHeader::uninstall_batch1, true},
    {"uninstall_batch2", &ArchiveHeader::uninstall_batch2, true},
};

const char* const other_top_keys[] = {"flags", "date", "file", "compress"};

// Letters to change, add or drop to turn a into b.
size_t edit_distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "; did you mean product_name?" for a key a few letters off a known one.
std::string nearest_key(const std::string& name, const std::vector<std::string>& keys) {
    const std::string* best = nullptr;
    size_t best_distance = 3;
    for (const std::string& key : keys) {
        size_t distance = edit_distance(name, key);
        if (distance < best_distance) best = &key, best_distance = distance;
    }
    return best ? "; did you mean " + *best + "?" : "";
}

std::string read_text_file(const std::string& path, bool& found) {
    std::ifstream in(path, std::ios::binary);
    found = static_cast<bool>(in);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// LF and lone CR become CR LF: the installer's edit controls and batch files
// want Windows line ends.
std::string windows_line_ends(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

class Loader {
public:
    Loader(const std::string& path, const ManifestOptions& options)
        : path_(path), base_(folder_of(path)), options_(options) {}

    Manifest load() {
        toml::table table;
        if (FILE* readable = fopen(path_.c_str(), "rb")) {
            fclose(readable);
        } else {
            throw ManifestError(path_ + ": cannot read the manifest: " + strerror(errno));
        }
        try {
            table = toml::parse_file(path_);
        } catch (const toml::parse_error& error) {
            std::string description(error.description());
            // The parser names the minutes' range for an hour out of range.
            const std::string wrong_hour = "expected hour between 0 to 59";
            size_t at = description.find(wrong_hour);
            if (at != std::string::npos) description.replace(at, wrong_hour.size(), "expected hour between 0 and 23");
            throw ManifestError(path_ + ":" + std::to_string(error.source().begin.line) + ": " + description);
        }
        Manifest manifest;
        manifest.path = path_;
        check_top_keys(table);
        for (const TextKey& key : text_keys) read_text(table, key, manifest);
        if (manifest.header.product_name.is_empty())
            throw ManifestError(path_ + ": product_name: the product needs a name");
        manifest.header.flags = read_flags(table);
        read_compress(table, manifest.header.flags);
        std::optional<DateTime> default_date;
        if (const toml::node* date = table.get("date")) default_date = read_date(*date, "date");
        FileExpander expander(path_, base_, options_, default_date);
        if (const toml::node* files = table.get("file")) {
            const toml::array* list = files->as_array();
            if (!list || !list->is_array_of_tables())
                throw ManifestError(where(*files, "file") + ": write each file as a [[file]] table");
            for (size_t i = 0; i < list->size(); ++i) {
                const toml::table& entry = *list->get(i)->as_table();
                FileRequest request = read_file_entry(entry, i + 1);
                expander.expand(request, manifest.files);
                check_shared_needs_uninstall_support(request, manifest.header.flags);
            }
        }
        check_names_differ_beyond_case(manifest.files);
        return manifest;
    }

private:
    std::string where(const toml::node& node, const std::string& what) const {
        return path_ + ":" + std::to_string(node.source().begin.line) + ": " + what;
    }

    void check_top_keys(const toml::table& table) const {
        for (auto&& [key, node] : table) {
            std::string name(key.str());
            std::vector<std::string> keys(std::begin(other_top_keys), std::end(other_top_keys));
            for (const TextKey& text : text_keys) {
                keys.push_back(text.key);
                keys.push_back(std::string(text.key) + "_file");
            }
            if (std::find(keys.begin(), keys.end(), name) == keys.end())
                throw ManifestError(where(node, name) + ": unknown key" + nearest_key(name, keys));
        }
    }

    // The payload is compressed unless the manifest says compress = false;
    // the option bit compressed_payload still says the same.
    void read_compress(const toml::table& table, u32& flags) const {
        const toml::node* node = table.get("compress");
        bool compress = true;
        if (node) {
            const toml::value<bool>* value = node->as_boolean();
            if (!value) throw ManifestError(where(*node, "compress") + ": is true or false");
            compress = value->get();
            if (!compress && (flags & header_flag::compressed_payload))
                throw ManifestError(where(*node, "compress") + ": false, but flags name compressed_payload");
        }
        if (compress) flags |= header_flag::compressed_payload;
    }

    // Only with uninstall_support does the installer make the shared folder
    // (Common Files\publisher); without it a shared file's name stays bare
    // and lands relative to whatever directory the installer was started from.
    void check_shared_needs_uninstall_support(const FileRequest& request, u32 flags) const {
        if (request.kind != kind_shared || (flags & header_flag::uninstall_support)) return;
        throw ManifestError(request.describe + ": a shared file needs the option uninstall_support, without which "
                            "the installer would write it relative to the directory it is started from; add "
                            "\"uninstall_support\" to flags");
    }

    std::string string_value(const toml::node& node, const std::string& what) const {
        std::optional<std::string> value = node.value<std::string>();
        if (!node.is_string() || !value) throw ManifestError(where(node, what) + ": must be a text");
        return *value;
    }

    // A text the installer can hold: ANSI, no 0 byte, and short enough for
    // its String.
    std::string installer_text(const std::string& utf8, const toml::node& node, const std::string& what,
                               bool multiline) const {
        std::string ansi;
        if (!to_ansi(utf8, ansi)) throw ManifestError(where(node, what) + ": " + ansi_problem(utf8));
        if (ansi.find('\0') != std::string::npos) throw ManifestError(where(node, what) + ": holds a 0 byte");
        if (!multiline && ansi.find_first_of("\r\n") != std::string::npos)
            throw ManifestError(where(node, what) + ": must be one line");
        ansi = windows_line_ends(ansi);
        if (ansi.size() > static_cast<size_t>(String::max_length))
            throw ManifestError(where(node, what) + ": longer than the installer's " +
                                std::to_string(String::max_length) + " bytes");
        return ansi;
    }

    void read_text(const toml::table& table, const TextKey& key, Manifest& manifest) const {
        ArchiveHeader& header = manifest.header;
        std::string file_key = std::string(key.key) + "_file";
        const toml::node* inline_text = table.get(key.key);
        const toml::node* file = table.get(file_key);
        if (inline_text && file) throw ManifestError(where(*file, file_key) + ": give " + key.key + " or " + file_key + ", not both");
        std::string utf8;
        std::string what = inline_text ? key.key : file_key;
        const toml::node* node = inline_text ? inline_text : file;
        if (!node) return;
        if (inline_text) {
            utf8 = string_value(*inline_text, key.key);
        } else {
            std::string source = string_value(*file, file_key);
            what += " (" + source + ")";
            std::string path = source.empty() || std::filesystem::path(source).has_root_path() ? source : base_ + source;
            bool found = false;
            utf8 = read_text_file(path, found);
            if (!found) throw ManifestError(where(*file, file_key) + ": cannot read " + path);
            // Editors on Windows often begin a UTF-8 file with a byte-order mark.
            if (utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) utf8.erase(0, 3);
            manifest.text_sources.push_back(path);
        }
        (header.*key.field) = installer_text(utf8, *node, what, key.multiline).c_str();
    }

    u32 read_flags(const toml::table& table) const {
        const toml::node* node = table.get("flags");
        if (!node) return 0;
        const toml::array* list = node->as_array();
        if (!list) throw ManifestError(where(*node, "flags") + ": must be a list of option names");
        u32 flags = 0;
        for (const toml::node& item : *list) {
            std::string name = string_value(item, "flags");
            const NamedValue* found = nullptr;
            for (i32 i = 0; i < header_flag_name_count; ++i) {
                if (name == header_flag_names[i].name) found = &header_flag_names[i];
            }
            if (!found) throw ManifestError(where(item, "flags") + ": unknown option \"" + name + "\"");
            flags |= found->value;
        }
        return flags;
    }

    // Windows compares names without regard to case: LICENCE.TXT and
    // licence.txt would be one file, the second replacing the first. The
    // same name twice is left alone: a shared file listed twice counts twice.
    static void check_names_differ_beyond_case(const std::vector<ManifestFile>& files) {
        std::map<std::string, const ManifestFile*> seen;
        for (const ManifestFile& file : files) {
            // Shared files and fonts have folders of their own.
            std::string folded = file.kind == kind_shared ? "shared:" : file.kind == kind_font ? "font:" : "dir:";
            folded += file.name;
            for (char& c : folded) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
            auto found = seen.emplace(folded, &file);
            const ManifestFile& first = *found.first->second;
            if (!found.second && first.name != file.name) {
                throw ManifestError(file.entry + ": name \"" + file.name + "\" is the same file to Windows as \"" +
                                    first.name + "\" (" + first.entry + ")");
            }
        }
    }

    // describe: the file entry the date belongs to, if any.
    DateTime read_date(const toml::node& node, const std::string& what, const std::string& describe = "") const {
        std::string place = describe.empty() ? where(node, what) : describe + ": " + what;
        DateTime date;
        if (node.is_string() && *node.value<std::string>() == "none") return date;
        toml::date day;
        toml::time time;
        if (const toml::value<toml::date_time>* both = node.as_date_time()) {
            if (!both->get().is_local()) throw ManifestError(place + ": give the local time without a time zone");
            day = both->get().date;
            time = both->get().time;
        } else if (const toml::value<toml::date>* only = node.as_date()) {
            day = only->get();
        } else if (!node.is_string() || !parse_quoted_date(*node.value<std::string>(), day, time)) {
            throw ManifestError(place + ": must be a local date and time (2024-06-01 12:00:00, quoted or not) or \"none\"");
        }
        // A Windows file time counts from 1601.
        if (day.year < 1601) throw ManifestError(place + ": Windows file dates start in 1601");
        date.year = day.year;
        date.month = day.month;
        date.day = day.day;
        date.hour = time.hour;
        date.minute = time.minute;
        date.second = time.second;
        return date;
    }

    // "2024-06-01 12:00:00" or "2024-06-01", as the unquoted forms read.
    static bool parse_quoted_date(const std::string& text, toml::date& day, toml::time& time) {
        int year, month, mday, hour = 0, minute = 0, second = 0, used = 0;
        int fields = sscanf(text.c_str(), "%4d-%2d-%2d%n %2d:%2d:%2d%n", &year, &month, &mday, &used, &hour, &minute,
                            &second, &used);
        if ((fields != 3 && fields != 6) || static_cast<size_t>(used) != text.size()) return false;
        static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (month < 1 || month > 12 || mday < 1 || mday > days[month - 1] || hour > 23 || minute > 59 || second > 59)
            return false;
        if (month == 2 && mday == 29 && !(year % 4 == 0 && (year % 100 != 0 || year % 400 == 0))) return false;
        day = toml::date(year, month, mday);
        time = toml::time(hour, minute, second);
        return true;
    }

    FileRequest read_file_entry(const toml::table& entry, size_t number) const {
        FileRequest request;
        request.number = number;
        request.line = entry.source().begin.line;
        const toml::node* source = entry.get("source");
        request.describe = path_ + ":" + std::to_string(request.line) + ": file #" + std::to_string(number);
        if (source) {
            request.source = string_value(*source, "source");
            request.describe += " (" + request.source + ")";
        }
        static const char* const file_keys[] = {"source", "name", "kind", "shortcuts", "label", "date"};
        for (auto&& [key, node] : entry) {
            std::string name(key.str());
            if (std::none_of(std::begin(file_keys), std::end(file_keys), [&](const char* k) { return name == k; }))
                throw ManifestError(request.describe + ": unknown key \"" + name +
                                    "\" (source, name, kind, shortcuts, label or date)" +
                                    nearest_key(name, {std::begin(file_keys), std::end(file_keys)}));
        }
        if (!source) throw ManifestError(request.describe + ": needs a source");
        for (auto&& [key, node] : entry) {
            std::string name(key.str());
            if (name == "source") continue;
            if (name == "name") {
                request.name = installer_text(string_value(node, "name"), node, "name", false);
                request.has_name = true;
            } else if (name == "kind") {
                request.kind = read_kind(node, request.describe);
            } else if (name == "shortcuts") {
                request.shortcut_flags = read_shortcuts(node, request.describe);
            } else if (name == "label") {
                request.label = installer_text(string_value(node, "label"), node, "label", false);
                request.has_label = true;
            } else if (name == "date") {
                request.date = read_date(node, "date", request.describe);
            } else {
                throw ManifestError(request.describe + ": unknown key \"" + name + "\"");
            }
        }
        return request;
    }

    u32 read_kind(const toml::node& node, const std::string& describe) const {
        std::string name = string_value(node, "kind");
        for (i32 i = 0; i < kind_name_count; ++i) {
            if (name == kind_names[i].name) return kind_names[i].value;
        }
        throw ManifestError(describe + ": unknown kind \"" + name + "\" (program, startup, shared or font)");
    }

    u32 read_shortcuts(const toml::node& node, const std::string& describe) const {
        const toml::array* list = node.as_array();
        if (!list) throw ManifestError(describe + ": shortcuts must be a list");
        u32 flags = 0;
        for (const toml::node& item : *list) {
            std::string name = string_value(item, "shortcuts");
            if (name == "desktop") {
                flags |= shortcut_desktop;
            } else if (name == "start_menu") {
                flags |= shortcut_start_menu;
            } else {
                throw ManifestError(describe + ": unknown shortcut \"" + name + "\" (desktop or start_menu)");
            }
        }
        return flags;
    }

    std::string path_;
    std::string base_;
    ManifestOptions options_;
};

}  // namespace

Manifest load_manifest(const std::string& path, const ManifestOptions& options) {
    return Loader(path, options).load();
}
