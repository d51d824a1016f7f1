// What a Wine prefix holds, read from its files: drive C as a folder tree
// and the registry from the text files that Wine keeps it in.
#include "builder/try.h"

#include "builder/system.h"

#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string modified_text(int64_t seconds) {
    DateTime date = local_date(seconds);
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.year, date.month, date.day, date.hour,
             date.minute, date.second);
    return text;
}

void add_files(const std::string& drive, Snapshot& into) {
    std::error_code error;
    fs::recursive_directory_iterator walk(drive, fs::directory_options::skip_permission_denied, error), end;
    for (; !error && walk != end; walk.increment(error)) {
        const fs::directory_entry& entry = *walk;
        std::string name = "C:\\" + entry.path().lexically_relative(drive).string();
        std::replace(name.begin(), name.end(), '/', '\\');
        if (entry.is_symlink()) {
            into[name] = "link";
        } else if (entry.is_directory()) {
            into[name] = "folder";
        } else {
            int64_t modified = 0;
            file_modified(entry.path().string(), modified);
            into[name] = std::to_string(entry.file_size()) + " bytes, " + modified_text(modified);
        }
    }
}

// Wine writes key names with each backslash doubled and value names as C
// texts; both are shown with their plain backslashes.
std::string plain_name(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        plain += text[i];
    }
    return plain;
}

}  // namespace

std::string read_file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}


void read_registry_text(const std::string& text, const std::string& root, Snapshot& into) {
    std::istringstream lines(text);
    std::string line, key;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t end = line.rfind(']');
            key = end == std::string::npos ? "" : root + "\\" + plain_name(line.substr(1, end - 1));
            // Wine writes a key without values only when it has no subkeys:
            // every key above one is there too.
            for (size_t slash = key.find('\\'); !key.empty(); slash = key.find('\\', slash + 1)) {
                into[key.substr(0, slash)] = "key";
                if (slash == std::string::npos) break;
            }
            continue;
        }
        if (key.empty()) continue;
        // A long value goes on over lines that end in a backslash.
        while (!line.empty() && line.back() == '\\') {
            std::string next;
            if (!std::getline(lines, next)) break;
            line.pop_back();
            size_t first = next.find_first_not_of(" \t");
            if (first != std::string::npos) line += next.substr(first);
        }
        std::string name;
        size_t equals;
        if (line[0] == '@') {
            name = "(default)";
            equals = 1;
        } else if (line[0] == '"') {
            size_t i = 1;
            while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
            name = plain_name(line.substr(1, i - 1));
            equals = i + 1;
        } else {
            continue;
        }
        if (equals >= line.size() || line[equals] != '=') continue;
        into[key + " > " + name] = line.substr(equals + 1);
    }
}

// The text of a REG_SZ value as Wine stores it ("..." with C escapes).
std::string registry_string(const std::string& data) {
    if (data.size() < 2 || data.front() != '"' || data.back() != '"') return "";
    return plain_name(data.substr(1, data.size() - 2));
}

Snapshot take_snapshot(const std::string& prefix) {
    Snapshot snapshot;
    add_files(prefix + "/drive_c", snapshot);
    read_registry_text(read_file_text(prefix + "/system.reg"), "HKLM", snapshot);
    read_registry_text(read_file_text(prefix + "/user.reg"), "HKCU", snapshot);
    return snapshot;
}

std::vector<Change> changes_between(const Snapshot& before, const Snapshot& after,
                                    const std::set<std::string>& ignored) {
    std::vector<Change> list;
    auto a = before.begin(), b = after.begin();
    while (a != before.end() || b != after.end()) {
        if (b == after.end() || (a != before.end() && a->first < b->first)) {
            if (!ignored.count(a->first)) list.push_back({a->first, a->second, ""});
            ++a;
        } else if (a == before.end() || b->first < a->first) {
            if (!ignored.count(b->first)) list.push_back({b->first, "", b->second});
            ++b;
        } else {
            if (a->second != b->second && !ignored.count(a->first)) list.push_back({a->first, a->second, b->second});
            ++a;
            ++b;
        }
    }
    return list;
}

bool split_uninstall_command(const std::string& command, std::string& program, std::string& line) {
    std::string lower = command;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    size_t start = command.size() > 0 && command[0] == '"' ? 1 : 0;
    size_t exe = lower.find(".exe", start);
    if (command.empty() || exe == std::string::npos) return false;
    program = command.substr(start, exe + 4 - start);
    size_t rest = exe + 4 + (start && exe + 4 < command.size() && command[exe + 4] == '"' ? 1 : 0);
    line = "\"" + program + "\"" + command.substr(rest);
    return true;
}

