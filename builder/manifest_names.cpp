// The names of the archive as Windows will see them: the rules a single
// name must follow, and the check that no two names of a manifest are one
// file for Windows, which compares names without regard to case.
#include "builder/manifest_files.h"

#include "builder/ansi.h"

#include <map>

namespace {

// Windows refuses these as names of files, with or without an extension.
bool is_device_name(const std::string& part) {
    std::string stem = folded_name(part.substr(0, part.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const char* const devices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (const char* device : devices) {
        if (stem == device) return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

// An archive name (ANSI) as the terminal shows it.
std::string shown_name(const std::string& ansi) {
    std::string utf8;
    return from_ansi(ansi, utf8) ? utf8 : ansi;
}

std::string folded_name(const std::string& ansi) {
    std::string folded = ansi;
    for (char& c : folded) {
        unsigned char b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) {
            b += 0x20;
        } else if (b == 0x8A || b == 0x8C || b == 0x8E) {
            b += 0x10;
        } else if (b == 0x9F) {
            b = 0xFF;
        }
        c = static_cast<char>(b);
    }
    return folded;
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
            return "\"" + part + "\" ends in a dot or a blank, which Windows drops from names";
        if (is_device_name(part)) return "\"" + part + "\" is the name of a device in Windows, not of a file";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    for (unsigned char c : name) {
        if (c < 0x20 || std::string("<>:\"/|?*").find(static_cast<char>(c)) != std::string::npos)
            return "the name holds a character that Windows refuses in names";
    }
    return "";
}

// Windows sees names that differ only in case as one file, and a file
// cannot be a folder of another. The folders of the kinds differ:
// programs and startup programs share the installation directory. The
// same name twice is allowed, as a later copy that replaces the first.
void check_names_differ(Manifest& manifest) {
    std::map<std::string, size_t> files, folders;
    for (size_t i = 0; i < manifest.files.size(); ++i) {
        const ManifestFile& file = manifest.files[i];
        std::string place = file.kind == kind_shared ? "s:" : file.kind == kind_font ? "f:" : "p:";
        std::string key = place + folded_name(file.name);
        auto clash = [&](size_t other, const char* how) {
            const ManifestFile& first = manifest.files[other];
            throw ManifestError(file.entry + ": name \"" + shown_name(file.name) + "\" " + how + " \"" +
                                shown_name(first.name) + "\" of " + first.entry + " for Windows, which ignores case");
        };
        auto same = files.find(key);
        if (same != files.end()) {
            if (manifest.files[same->second].name != file.name) clash(same->second, "is the same file as");
            manifest.warnings.push_back(file.entry + ": " + shown_name(file.name) + " is packed again and replaces " +
                                        manifest.files[same->second].entry);
        }
        if (folders.count(key)) clash(folders[key], "names a folder of");
        files.emplace(key, i);
        for (size_t slash = key.find('\\'); slash != std::string::npos; slash = key.find('\\', slash + 1)) {
            std::string folder = key.substr(0, slash);
            if (files.count(folder)) clash(files[folder], "needs a folder named like the file");
            folders.emplace(folder, i);
        }
    }
}

