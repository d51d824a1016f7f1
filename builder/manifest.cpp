// The manifest's keys: parsing the TOML file, refusing keys that mean
// nothing, and turning the values into the header's fields and the list of
// file entries that manifest_files.cpp expands. Each message starts with the
// manifest's path and the line of the entry it is about.
#include "builder/manifest.h"

#include "builder/ansi.h"
#include "builder/manifest_dates.h"
#include "builder/manifest_files.h"
#include "builder/reader.h"

#include <toml++/toml.h>

#include <errno.h>
#include <string.h>

#include <algorithm>
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

const char* const file_keys[] = {"source", "name", "kind", "shortcuts", "label", "date"};

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

std::string known_file_keys() {
    std::string list;
    for (const char* key : file_keys) list += std::string(list.empty() ? "" : ", ") + key;
    return list;
}

const char* const other_top_keys[] = {"flags", "date", "file", "compress"};

// The TOML parser's messages that say less than they should.
const std::pair<const char*, const char*> parse_message_fixes[] = {
    {"expected hour between 0 to 59", "expected hour between 0 and 23"},
};

std::string fixed_parse_message(std::string message) {
    for (const auto& fix : parse_message_fixes) {
        size_t at = message.find(fix.first);
        if (at != std::string::npos) message.replace(at, strlen(fix.first), fix.second);
    }
    return message;
}

std::string directory_of_manifest(const std::string& path) {
    std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? folder : folder + "/";
}

// The whole file, or the reason it cannot be read.
std::string read_text_file(const std::string& path, std::string& problem) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        problem = "is a directory";
        return "";
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = strerror(errno);
        return "";
    }
    std::ostringstream text;
    text << in.rdbuf();
    return without_byte_order_mark(text.str());
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
        : path_(path), base_(directory_of_manifest(path)), options_(options) {}

    Manifest load() {
        std::string problem;
        std::string text = read_text_file(path_, problem);
        if (!problem.empty()) throw ManifestError(path_ + ": cannot read the manifest: " + problem);
        problem = utf8_problem(text);
        if (!problem.empty()) throw ManifestError(path_ + ": " + problem);
        toml::table table;
        try {
            table = toml::parse(text, path_);
        } catch (const toml::parse_error& error) {
            throw ManifestError(path_ + ":" + std::to_string(error.source().begin.line) + ": " +
                                fixed_parse_message(std::string(error.description())));
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
        if (const toml::node* date = table.get("date")) default_date = read_manifest_date(*date, where(*date, "date"));
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
        check_names_differ(manifest);
        if (manifest.files.empty())
            manifest.warnings.push_back(path_ + ": the manifest names no files; the installer would install nothing");
        for (const ManifestFile& file : manifest.files) {
            if (file.date.is_set() && file.date.year < first_likely_year)
                manifest.warnings.push_back(file.entry + ": " + shown_name(file.name) + " is dated " +
                                            date_text(file.date) + ", before 1980");
        }
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
        std::string problem = utf8_to_ansi(utf8, ansi);
        if (!problem.empty()) throw ManifestError(where(node, what) + ": " + problem);
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
        std::string file_key = std::string(key.key) + "_file";
        const toml::node* inline_text = table.get(key.key);
        const toml::node* file = table.get(file_key);
        if (inline_text && file) throw ManifestError(where(*file, file_key) + ": give " + key.key + " or " + file_key + ", not both");
        std::string utf8;
        const toml::node* node = inline_text ? inline_text : file;
        if (!node) return;
        if (inline_text) {
            utf8 = string_value(*inline_text, key.key);
        } else {
            std::string source = string_value(*file, file_key);
            std::string path = std::filesystem::path(source).has_root_path() ? source : base_ + source;
            std::string problem;
            utf8 = read_text_file(path, problem);
            if (!problem.empty())
                throw ManifestError(where(*file, file_key) + ": cannot read " + path + ": " + problem);
            file_key += ": " + path;
            manifest.text_files.push_back(path);
        }
        (manifest.header.*key.field) = installer_text(utf8, *node, inline_text ? key.key : file_key, key.multiline).c_str();
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

    // The compressed payload is the default; `compress = false` stores it
    // plain. The older way, the flag compressed_payload, still asks for it.
    void read_compress(const toml::table& table, u32& flags) const {
        const toml::node* node = table.get("compress");
        if (!node) {
            flags |= header_flag::compressed_payload;
            return;
        }
        std::optional<bool> value = node->value<bool>();
        if (!node->is_boolean() || !value) throw ManifestError(where(*node, "compress") + ": must be true or false");
        if (!*value && (flags & header_flag::compressed_payload))
            throw ManifestError(where(*node, "compress") + ": false, but flags asks for compressed_payload");
        if (*value) flags |= header_flag::compressed_payload;
    }


    FileRequest read_file_entry(const toml::table& entry, size_t number) const {
        FileRequest request;
        request.number = number;
        request.line = entry.source().begin.line;
        const toml::node* source = entry.get("source");
        request.describe = path_ + ":" + std::to_string(request.line) + ": file #" + std::to_string(number);
        if (source && source->is_string()) request.describe += " (" + *source->value<std::string>() + ")";
        for (auto&& [key, node] : entry) {
            std::string name(key.str());
            if (std::none_of(std::begin(file_keys), std::end(file_keys), [&](const char* k) { return name == k; }))
                throw ManifestError(request.describe + ": unknown key \"" + name + "\" (" + known_file_keys() + ")");
        }
        if (!source) throw ManifestError(request.describe + ": needs a source");
        request.source = string_value(*source, "source");
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
                request.date = read_manifest_date(node, request.describe + ": date");
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
