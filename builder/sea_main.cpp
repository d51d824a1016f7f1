// The `sea` program: one binary with a subcommand per job, in the manner of
// the familiar archivers. It builds installers from manifests on top of the
// installer stub embedded in it, checks manifests and starts new ones, and
// shows, checks, extracts (and, for tests, damages) the installers it finds.
//
// Each command is a row of the table at the end: its arguments, options,
// help and the function that runs it. The foundation's fatal report (the
// decoder's "Decompress error" among them) becomes an exception here, so
// that every failure is printed in one place, temporary files are removed on
// the way out, and the exit status is 1 for a failure and 2 for a command
// line it does not understand.
#include "builder/build.h"
#include "builder/command_line.h"
#include "builder/damage.h"
#include "builder/extract.h"
#include "builder/progress.h"
#include "builder/starting_manifest.h"
#include "builder/system.h"

#include "builder/ansi.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

extern const unsigned char sea_embedded_stub[];
extern const size_t sea_embedded_stub_size;
extern const long long sea_embedded_stub_time;

#ifndef SEA_VERSION
#define SEA_VERSION "unknown"
#endif

namespace {

// What the foundation's fatal report carries out of the code below it.
class FatalReport : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// C notation on one line, shortened when long; the text is shown in UTF-8.
std::string quoted(const String& ansi_text) {
    std::string ansi(ansi_text.text(), static_cast<size_t>(ansi_text.length()));
    std::string text;
    if (!from_ansi(ansi, text)) text = ansi;
    const size_t shown = 60;
    std::string out = "\"";
    size_t count = 0;
    for (char c : text) {
        if (count++ == shown) break;
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    out += text.size() > shown ? "...\" (" + std::to_string(ansi.size()) + " bytes)" : "\"";
    return out;
}

std::string flag_names(u32 flags) {
    std::string names;
    u32 named = 0;
    for (i32 i = 0; i < header_flag_name_count; ++i) {
        if (flags & header_flag_names[i].value) {
            names += std::string(names.empty() ? "" : " ") + header_flag_names[i].name;
            named |= header_flag_names[i].value;
        }
    }
    if (flags & ~named) {
        char other[40];
        snprintf(other, sizeof other, "%sother bits 0x%X", names.empty() ? "" : " ", flags & ~named);
        names += other;
    }
    return names;
}

std::string shortcut_names(u32 flags) {
    std::string names;
    if (flags & shortcut_desktop) names += "desktop";
    if (flags & shortcut_start_menu) names += std::string(names.empty() ? "" : ",") + "start_menu";
    if (flags & ~(shortcut_desktop | shortcut_start_menu)) names += std::string(names.empty() ? "" : ",") + "other";
    return names.empty() ? "-" : names;
}

std::string shown_name(const std::string& ansi) {
    std::string text;
    return from_ansi(ansi, text) ? text : ansi;
}

StubImage load_stub(const ParsedCommand& command) {
    StubImage stub;
    std::string path = command.value("--stub");
    if (path.empty()) {
        stub.bytes.assign(sea_embedded_stub, sea_embedded_stub + sea_embedded_stub_size);
        stub.modified = sea_embedded_stub_time;
        return stub;
    }
    stub.path = path;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) throw BuildError("the stub " + path + " is a directory");
    FILE* in = fopen(path.c_str(), "rb");
    if (!in) throw BuildError("cannot read the stub " + path);
    unsigned char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) stub.bytes.insert(stub.bytes.end(), buffer, buffer + n);
    fclose(in);
    int64_t modified = 0;
    if (file_modified(path, modified)) stub.modified = modified;
    return stub;
}

std::optional<int64_t> source_date_epoch() {
    const char* text = getenv("SOURCE_DATE_EPOCH");
    if (!text || !*text) return std::nullopt;
    char* end = nullptr;
    long long value = strtoll(text, &end, 10);
    if (*end || value < 0) throw UsageError("SOURCE_DATE_EPOCH must be a number of seconds");
    return value;
}

std::string counted(size_t n, const char* thing) {
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

Manifest load_checked_manifest(const std::string& path, ManifestOptions& options) {
    options.source_date_epoch = source_date_epoch();
    Manifest manifest = load_manifest(path, options);
    for (const std::string& warning : manifest.warnings) fprintf(stderr, "sea: warning: %s\n", warning.c_str());
    return manifest;
}

PackOptions pack_options(const ParsedCommand& command) {
    PackOptions pack;
    std::string level = command.value("--level", "best");
    if (level == "fast") {
        pack.level = CompressionLevel::fast;
    } else if (level != "best") {
        throw UsageError("--level is fast or best, not " + level);
    }
    if (command.has("--disk-size")) pack.disk_size = parse_size(command.value("--disk-size"), "--disk-size", i32_max);
    return pack;
}

int build(const ParsedCommand& command) {
    PackOptions pack = pack_options(command);
    ManifestOptions options;
    Manifest manifest = load_checked_manifest(command.words[0], options);
    std::string output = command.value("--output", "setup.exe");
    if (command.has("--level") && !(manifest.header.flags & header_flag::compressed_payload))
        fprintf(stderr, "sea: warning: %s says compress = false, so --level acts on the header alone\n",
                manifest.path.c_str());
    BuildDisplay display(stderr);
    pack.progress = display.compressing();
    BuildSummary summary =
        build_installer(manifest, load_stub(command), output, pack, options, display.reading(manifest));
    display.clear();
    printf("%s: %s, payload %s stored in %s, %zu part%s\n", output.c_str(), counted(summary.files, "file").c_str(),
           amount(summary.plain_payload).c_str(), amount(summary.stored_payload).c_str(), summary.disks + 1,
           summary.disks ? "s" : "");
    return 0;
}

// Everything a build would check, and what it would pack, without reading a
// source or writing a byte.
int check(const ParsedCommand& command) {
    ManifestOptions options;
    Manifest manifest = load_checked_manifest(command.words[0], options);
    check_build(manifest, load_stub(command), command.value("--output"));
    uint64_t total = 0;
    for (const ManifestFile& file : manifest.files) {
        printf("%-8s %10llu  %-19s  %-18s  %s  \"%s\"  <- %s\n", kind_name(file.kind),
               static_cast<unsigned long long>(file.size), date_text(file.date).c_str(),
               shortcut_names(file.shortcut_flags).c_str(), shown_name(file.name).c_str(),
               shown_name(file.label).c_str(), file.source.c_str());
        total += file.size;
    }
    printf("%s: can be built: %s, %s, %s\n", manifest.path.c_str(), counted(manifest.files.size(), "file").c_str(),
           amount(total).c_str(),
           manifest.header.flags & header_flag::compressed_payload ? "compressed" : "stored plain");
    if (!manifest.warnings.empty()) printf("%s\n", counted(manifest.warnings.size(), "warning").c_str());
    return 0;
}

int init(const ParsedCommand& command) {
    std::string dir = command.words.empty() ? "." : command.words[0];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) throw BuildError("cannot make the folder " + dir + ": " + error.message());
    std::string path = dir + "/setup.toml";
    if (std::filesystem::exists(path, error)) throw BuildError(path + " already exists; sea init does not replace it");
    std::string product = std::filesystem::absolute(dir).lexically_normal().filename().string();
    if (product.empty()) product = std::filesystem::absolute(dir).lexically_normal().parent_path().filename().string();
    std::string plain;
    for (char c : product) {
        if (isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '-' || c == '_') plain += c;
    }
    std::ofstream out(path, std::ios::binary);
    out << starting_manifest(plain.empty() ? "My Product" : plain);
    out.close();
    if (!out) throw BuildError("cannot write " + path);
    printf("%s written; edit it, then run: sea check %s\n", path.c_str(), path.c_str());
    return 0;
}

int info(const ParsedCommand& command) {
    Installer installer = open_installer(command.words[0]);
    const ArchiveHeader& h = installer.header;
    printf("archive offset     %d\n", installer.archive_offset);
    printf("flags              0x%08X %s\n", h.flags, flag_names(h.flags).c_str());
    printf("stub date          %s\n", date_text(h.stub_date).c_str());
    printf("stub checksum      0x%08X\n", h.stub_checksum);
    printf("file count         %d\n", h.file_count);
    printf("payload size       %d\n", h.payload_size);
    const std::pair<const char*, const String*> texts[] = {
        {"publisher", &h.publisher},          {"product name", &h.product_name},
        {"start menu folder", &h.start_menu_folder}, {"default directory", &h.default_directory},
        {"version", &h.version_text},         {"product registry", &h.product_registry},
        {"welcome text", &h.welcome_text},    {"licence text", &h.licence_text},
        {"readme text", &h.readme_text},      {"batch before", &h.batch_before},
        {"batch after", &h.batch_after},      {"batch last", &h.batch_last},
        {"uninstall batch 1", &h.uninstall_batch1}, {"uninstall batch 2", &h.uninstall_batch2},
    };
    for (const auto& text : texts) printf("%-18s %s\n", text.first, quoted(*text.second).c_str());
    return 0;
}

int list(const ParsedCommand& command) {
    Installer installer = open_installer(command.words[0]);
    std::vector<Record> records = read_records(installer, gather_stored_payload(installer).stored);
    for (const Record& record : records) {
        printf("%-8s %10zu  %-19s  %-18s  %s  \"%s\"\n", kind_name(record.kind), record.content.size(),
               date_text(record.date).c_str(), shortcut_names(record.shortcut_flags).c_str(),
               shown_name(record.name).c_str(), shown_name(record.label).c_str());
    }
    return 0;
}

int verify(const ParsedCommand& command) {
    const std::string& path = command.words[0];
    Installer installer = open_installer(path);
    if (check_stub(installer)) {
        ArchiveProblem problem = ArchiveProblem::corrupt(corrupt::image_checksum);
        bool checked = installer.header.flags & header_flag::uninstall_support;
        throw ArchiveProblem(problem.code, std::string(problem.what()) +
                                               (checked ? "" : " (the installer checks it only with uninstall_support)"));
    }
    GatheredPayload gathered = gather_stored_payload(installer);
    std::vector<Record> records = read_records(installer, gathered.stored);
    std::string parts;
    for (size_t i = 0; i < gathered.part_sizes.size(); ++i) {
        parts += (i ? ", " : "") + (i ? disk_file_name(static_cast<int>(i) + 1) : std::string("executable")) + " " +
                 std::to_string(gathered.part_sizes[i]);
    }
    printf("%s: sound, %s; payload %d bytes (%s)\n", path.c_str(), counted(records.size(), "file").c_str(),
           installer.header.payload_size, parts.c_str());
    return 0;
}

int extract(const ParsedCommand& command) {
    std::string dir = command.value("--directory", ".");
    size_t count = extract_installer(command.words[0], dir);
    printf("%s written below %s\n", counted(count, "file").c_str(), dir.c_str());
    return 0;
}

int damage(const ParsedCommand& command) {
    if (command.has("--list")) {
        if (!command.words.empty()) throw UsageError("sea damage --list takes no arguments");
        for (size_t i = 0; i < damage_place_count; ++i)
            printf("%-16s %s\n", damage_places[i].name, damage_places[i].effect);
        return 0;
    }
    if (command.words.size() != 2) throw UsageError("sea damage takes FILE PLACE");
    damage_installer(command.words[0], command.words[1]);
    return 0;
}

int help(const ParsedCommand& command);

const char size_note[] =
    "Sizes are a number of bytes or a number with a unit: KB, MB and GB are powers of\n"
    "1000 (1 MB = 1000000 bytes), KiB, MiB and GiB powers of 1024 (1 MiB = 1048576).\n";

const CommandSpec commands[] = {
    {"build", "MANIFEST", "Builds an installer from a manifest.",
     "Writes the installer (setup.exe unless -o says otherwise) and, with --disk-size,\n"
     "its disk files Disk2.SEA, Disk3.SEA... beside it. Nothing is written unless the\n"
     "whole build succeeds, and the output may not be the manifest or one of its\n"
     "inputs. The payload is compressed unless the manifest says compress = false.\n"
     "On a terminal the progress is shown on standard error.\n\n"
     "SIZE is a number of bytes or a number with a unit: KB, MB and GB are powers of\n"
     "1000 (1 MB = 1000000 bytes), KiB, MiB and GiB powers of 1024 (1 MiB = 1048576).\n",
     {{"--output", "-o", "FILE", "the installer to write (default setup.exe)"},
      {"--level", nullptr, "LEVEL", "fast or best (default): how hard to compress"},
      {"--disk-size", nullptr, "SIZE", "no file larger than SIZE: the payload goes on disks"},
      {"--stub", nullptr, "FILE", "build on this installer program, not the embedded one"}},
     1, 1, build},
    {"check", "MANIFEST", "Checks a manifest as build does, and lists what would be packed.",
     "Reads no source and writes nothing. Each file is listed with its kind, size,\n"
     "date, shortcuts, name in the installation, label and source. Warnings name\n"
     "what is legal but likely wrong: no files, dates before 1980, a name packed\n"
     "twice. The exit status is 0 when build would accept the manifest.\n",
     {{"--output", "-o", "FILE", "also check that build could write FILE"},
      {"--stub", nullptr, "FILE", "also check this installer program"}},
     1, 1, check},
    {"init", "[DIR]", "Writes a commented starting manifest, DIR/setup.toml.",
     "Every key is there with what it does; most are commented out. DIR is made\n"
     "when missing (default: the current folder); an existing setup.toml is kept.\n",
     {}, 0, 1, init},
    {"info", "FILE", "Shows an installer's header: its fields and option bits by name.", "", {}, 1, 1, info},
    {"list", "FILE", "Lists an installer's files: kind, size, date, shortcuts, name, label.", "", {}, 1, 1, list},
    {"verify", "FILE", "Makes every check the installer makes, and names the error code.",
     "Reads the disk files beside FILE. The exit status is 0 only for a sound installer.\n", {}, 1, 1, verify},
    {"extract", "FILE", "Writes an installer's files below a folder, one folder per kind.",
     "program, startup, shared and font, with their recorded dates.\n",
     {{"--directory", "-C", "DIR", "the folder to write below (default .)"}}, 1, 1, extract},
    {"damage", "FILE PLACE", "Spoils an installer on purpose, for tests.", "",
     {{"--list", nullptr, nullptr, "name the places and what each does"}}, 0, 2, damage},
    {"help", "[COMMAND]", "Shows what sea does, or the help of one command.", "", {}, 0, 1, help},
};

const CommandSpec* find_command(const std::string& name) {
    for (const CommandSpec& command : commands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::string overview() {
    std::string text = "usage: sea COMMAND [options] ARGUMENTS\n\nsea builds self-extracting installers for Windows "
                       "from a manifest, and looks into them.\n\ncommands:\n";
    for (const CommandSpec& command : commands) {
        std::string left = std::string(command.name) + " " + command.arguments;
        text += "  " + left + std::string(left.size() < 20 ? 20 - left.size() : 1, ' ') + command.summary + "\n";
    }
    return text + "\nsea COMMAND --help shows a command's options; sea --version its version.\n"
                  "Options take their value as --name VALUE or --name=VALUE.\n" + size_note +
           "Exit status: 0 done, 1 failed, 2 a command line sea does not understand.\n"
           "The manifest's keys: docs/manifest.md, or the file sea init writes.\n";
}

int help(const ParsedCommand& command) {
    if (command.words.empty()) {
        fputs(overview().c_str(), stdout);
        return 0;
    }
    const CommandSpec* about = find_command(command.words[0]);
    if (!about) throw UsageError("no command " + command.words[0]);
    fputs(command_help(*about).c_str(), stdout);
    return 0;
}

const CommandSpec* current_command = nullptr;

int run(int argc, char** argv) {
    if (argc < 2) throw UsageError("no command");
    std::string name = argv[1];
    if (name == "-h" || name == "--help") name = "help";
    if (name == "--version" || name == "-V") {
        printf("sea %s\n", SEA_VERSION);
        return 0;
    }
    current_command = find_command(name);
    if (!current_command) throw UsageError("unknown command " + name);
    ParsedCommand command = parse_command(*current_command, std::vector<std::string>(argv + 2, argv + argc));
    if (command.help) {
        fputs(command_help(*current_command).c_str(), stdout);
        return 0;
    }
    return current_command->run(command);
}

// The installer's file, for the messages about it.
std::string subject(int argc, char** argv) {
    if (!current_command || current_command->run == build || current_command->run == check ||
        current_command->run == init)
        return "";
    for (int i = 2; i < argc; ++i) {
        if (argv[i][0] != '-') return std::string(argv[i]) + ": ";
    }
    return "";
}

}  // namespace

void fatal_error_va(const char* format, va_list arguments) { throw FatalReport(format_to_scratch(format, arguments)); }

void fatal_error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    fatal_error_va(format, arguments);
}

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const UsageError& error) {
        fprintf(stderr, "sea: %s\n", error.what());
        if (current_command)
            fprintf(stderr, "%sRun sea %s --help for more.\n", command_usage(*current_command).c_str(),
                    current_command->name);
        else
            fputs("Run sea help for the commands.\n", stderr);
        return 2;
    } catch (const std::exception& error) {
        fflush(stdout);
        fprintf(stderr, "sea: %s%s\n", subject(argc, argv).c_str(), error.what());
        return 1;
    }
}
