// Extraction: every name is checked before anything is written, and each
// file is written through the system seam, which never follows a link.
#include "builder/extract.h"

#include "builder/ansi.h"
#include "builder/manifest.h"
#include "builder/system.h"

#include <filesystem>

std::string split_record_name(const std::string& name, std::vector<std::string>& parts) {
    parts.clear();
    if (name.empty()) return "the name is empty";
    NameFault fault = entry_name_fault(name.c_str());
    if (fault != NameFault::none) return name_fault_meaning(fault);
    std::string ansi_part;
    size_t start = 0;
    for (;;) {
        size_t end = name.find_first_of("\\/", start);
        std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty() && part != ".") {
            std::string host;
            if (!from_ansi(part, host)) return "the name holds a byte that is no character";
            parts.push_back(host);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (parts.empty()) return "the name names no file";
    return "";
}

void extract_records(const std::vector<Record>& records, const std::string& dir) {
    std::vector<std::vector<std::string>> names(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        std::string problem = split_record_name(records[i].name, names[i]);
        if (!problem.empty()) {
            throw ArchiveProblem(0, "refusing to extract \"" + records[i].name + "\" (record " +
                                        std::to_string(i + 1) + "): " + problem + "; nothing was written");
        }
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    for (size_t i = 0; i < records.size(); ++i) {
        std::vector<std::string> parts = names[i];
        parts.insert(parts.begin(), kind_folder(records[i].kind));
        write_below(dir, parts, records[i].content, records[i].date);
    }
}

size_t extract_installer(const std::string& path, const std::string& dir) {
    Installer installer = open_installer(path);
    std::vector<Record> records = read_records(installer, gather_stored_payload(installer).stored);
    extract_records(records, dir);
    return records.size();
}
