// The `sea` program: one binary with a subcommand per job, in the manner of
// the familiar archivers. It builds installers from manifests on top of the
// installer stub embedded in it, and shows, checks, extracts (and, for tests,
// damages) the installers it finds.
//
// The foundation's fatal report (the decoder's "Decompress error" among
// them) becomes an exception here, so that every failure is printed in one
// place, temporary files are removed on the way out, and the exit status is
// 1 for a failure and 2 for a command line it does not understand.
#include "builder/build.h"
#include "builder/damage.h"
#include "builder/extract.h"
#include "builder/signing.h"
#include "builder/starter.h"
#include "builder/try.h"

#include "builder/ansi.h"
#include "builder/system.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <vector>

extern const unsigned char sea_embedded_stub[];
extern const size_t sea_embedded_stub_size;
extern const long long sea_embedded_stub_time;

namespace {

const char version_text[] = "sea 0.1.0\n";

const char usage_text[] =
    "usage: sea build MANIFEST [-o FILE] [--level fast|best] [--disk-size SIZE] [--stub FILE] [SIGNING]\n"
    "       sea sign FILE SIGNING              (signs an installer built earlier; the disks stay as they are)\n"
    "       sea check MANIFEST [--stub FILE]   (every check of build, and what would be packed; writes nothing)\n"
    "       sea init [DIR]                     (a commented setup.toml to start from, and a files/ folder)\n"
    "       sea info FILE\n"
    "       sea list FILE\n"
    "       sea verify FILE\n"
    "       sea extract FILE [-C DIR]\n"
    "       sea try FILE [ANSWERS] [--robot FILE] [--template DIR] [--keep DIR] [--timeout SECONDS]\n"
    "                                          (installs and uninstalls in a fresh Wine prefix, and shows what\n"
    "                                          the installation added and the uninstallation left behind)\n"
    "       sea damage FILE PLACE      (for tests; sea damage --list names the places)\n"
    "       sea help | sea COMMAND --help | sea --version\n"
    "SIGNING is --sign-cert FILE --sign-key FILE [--sign-pass PASSWORD] [--timestamp URL], through osslsigncode.\n"
    "Options take their value as the next word or after '=' (--level=best). A SIZE is bytes, or a number\n"
    "with KB or MB (1000 and 1,000,000 bytes) or KiB or MiB (1024 and 1,048,576 bytes).\n";

const char* const option_names =
    "-o, -C, --stub, --disk-size, --level, --sign-cert, --sign-key, --sign-pass, --timestamp, --robot, --template, "
    "--keep, --timeout, --help";

// What the foundation's fatal report carries out of the code below it.
class FatalReport : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Arguments {
    std::vector<std::string> words;
    std::string output;
    std::string directory = ".";
    std::string stub;
    SigningOptions signing;
    PackOptions pack;
    TryOptions trial;
    bool level_given = false;
    bool help = false;
};

int64_t parse_size(const std::string& text) {
    struct Unit {
        const char* name;
        long long bytes;
    };
    const Unit units[] = {{"", 1}, {"B", 1}, {"KB", 1000}, {"MB", 1000000}, {"KiB", 1024}, {"MiB", 1048576}};
    char* end = nullptr;
    long long value = strtoll(text.c_str(), &end, 10);
    std::string unit = end ? end : "";
    while (!unit.empty() && unit[0] == ' ') unit.erase(0, 1);
    for (const Unit& u : units) {
        if (!text.empty() && end != text.c_str() && unit == u.name && value >= 1 && value <= i32_max / u.bytes &&
            value * u.bytes <= i32_max) {
            return value * u.bytes;
        }
    }
    throw UsageError("--disk-size needs a size from 1 byte to " + std::to_string(i32_max) +
                     " bytes: a number, or one with KB, MB, KiB or MiB (" + text + ")");
}

Arguments parse_arguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        // --name=value is --name value.
        std::optional<std::string> attached;
        size_t equals = word.find('=');
        if (word.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            attached = word.substr(equals + 1);
            word.erase(equals);
        }
        auto value = [&]() -> std::string {
            if (attached) return *attached;
            if (i + 1 >= argc) throw UsageError(word + " needs a value");
            return argv[++i];
        };
        if (word == "-h" || word == "--help") {
            arguments.help = true;
        } else if (word == "-o") {
            arguments.output = value();
        } else if (word == "-C") {
            arguments.directory = value();
        } else if (word == "--stub") {
            arguments.stub = value();
        } else if (word == "--robot") {
            arguments.trial.robot = value();
        } else if (word == "--template") {
            arguments.trial.template_dir = value();
        } else if (word == "--keep") {
            arguments.trial.keep = value();
        } else if (word == "--timeout") {
            std::string text = value();
            char* end = nullptr;
            long seconds = strtol(text.c_str(), &end, 10);
            if (*end || seconds < 1 || seconds > 3600) throw UsageError("--timeout is a number of seconds from 1 to 3600");
            arguments.trial.timeout = static_cast<int>(seconds);
        } else if (word == "--sign-cert") {
            arguments.signing.certificate = value();
        } else if (word == "--sign-key") {
            arguments.signing.key = value();
        } else if (word == "--sign-pass") {
            arguments.signing.password = value();
        } else if (word == "--timestamp") {
            arguments.signing.timestamp_url = value();
        } else if (word == "--disk-size") {
            arguments.pack.disk_size = parse_size(value());
        } else if (word == "--level") {
            std::string level = value();
            arguments.level_given = true;
            if (level == "fast") {
                arguments.pack.level = CompressionLevel::fast;
            } else if (level == "best") {
                arguments.pack.level = CompressionLevel::best;
            } else {
                throw UsageError("--level is fast or best");
            }
        } else if (word.size() > 1 && word[0] == '-' && word != "--list") {
            throw UsageError("unknown option " + word + " (the options are " + option_names + ")");
        } else {
            arguments.words.push_back(word);
        }
    }
    return arguments;
}

void expect_words(const Arguments& arguments, size_t count) {
    if (arguments.words.size() != count) throw UsageError("wrong number of arguments");
}

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

StubImage load_stub(const Arguments& arguments) {
    StubImage stub;
    if (arguments.stub.empty()) {
        stub.bytes.assign(sea_embedded_stub, sea_embedded_stub + sea_embedded_stub_size);
        stub.modified = sea_embedded_stub_time;
        return stub;
    }
    stub.path = arguments.stub;
    FILE* in = fopen(arguments.stub.c_str(), "rb");
    if (!in) throw BuildError("cannot read the stub " + arguments.stub);
    unsigned char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) stub.bytes.insert(stub.bytes.end(), buffer, buffer + n);
    fclose(in);
    int64_t modified = 0;
    if (file_modified(arguments.stub, modified)) stub.modified = modified;
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

std::string amount(size_t bytes) {
    char text[32];
    if (bytes < 10000) {
        snprintf(text, sizeof text, "%zu bytes", bytes);
    } else if (bytes < 10000000) {
        snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1e3);
    } else {
        snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    }
    return text;
}

// The installer and its disks would replace the manifest or a file the
// manifest names: refused before anything is written.
void refuse_output_over_input(const Manifest& manifest, const std::string& output) {
    namespace fs = std::filesystem;
    std::vector<std::string> inputs = {manifest.path};
    inputs.insert(inputs.end(), manifest.text_sources.begin(), manifest.text_sources.end());
    for (const ManifestFile& file : manifest.files) inputs.push_back(file.source);
    std::error_code error;
    fs::path folder = fs::path(output).parent_path();
    if (folder.empty()) folder = ".";
    for (const std::string& input : inputs) {
        fs::path path(input);
        std::string name = path.filename().string();
        bool disk = name.size() > 8 && name.compare(0, 4, "Disk") == 0 &&
                    name.compare(name.size() - 4, 4, ".SEA") == 0 &&
                    name.find_first_not_of("0123456789", 4) == name.size() - 4;
        bool replaced = fs::exists(output, error) && fs::equivalent(output, path, error);
        if (!replaced && disk) replaced = fs::equivalent(folder, path.parent_path().empty() ? "." : path.parent_path(), error);
        if (replaced) {
            throw BuildError("the output " + output + " would replace " +
                             (input == manifest.path ? "the manifest" : "the source " + input) +
                             "; choose another with -o");
        }
    }
}

int build(const Arguments& arguments) {
    expect_words(arguments, 1);
    ManifestOptions dates;
    dates.source_date_epoch = source_date_epoch();
    Manifest manifest = load_manifest(arguments.words[0], dates);
    std::string output = arguments.output.empty() ? "setup.exe" : arguments.output;
    refuse_output_over_input(manifest, output);
    if (manifest.files.empty()) fprintf(stderr, "sea: warning: the manifest names no file: the installer would install nothing\n");
    if (arguments.level_given && !(manifest.header.flags & header_flag::compressed_payload))
        fprintf(stderr, "sea: warning: --level does nothing here: the manifest says compress = false\n");
    bool terminal = is_terminal(stderr);
    ReadProgress progress = nullptr;
    PackRunner runner = nullptr;
    PackOptions pack = arguments.pack;
    std::atomic<size_t> compressed(0);
    size_t total = 0;
    for (const ManifestFile& file : manifest.files) total += file.size;
    if (terminal) {
        pack.compressed = &compressed;
        progress = [](size_t n, size_t count, const std::string& name) {
            fprintf(stderr, "\r\033[Kreading %zu/%zu %s", n, count, name.c_str());
        };
        runner = [&compressed, total](const std::function<InstallerParts()>& pack_all) {
            auto start = std::chrono::steady_clock::now();
            fprintf(stderr, "\r\033[Kcompressing %s...", amount(total).c_str());
            std::future<InstallerParts> packed = std::async(std::launch::async, pack_all);
            while (packed.wait_for(std::chrono::milliseconds(500)) != std::future_status::ready) {
                double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                size_t done = compressed.load();
                fprintf(stderr, "\r\033[Kcompressing %s: %3.0f%%, %.1f MB/s, %.0f s", amount(total).c_str(),
                        total ? 100.0 * static_cast<double>(std::min(done, total)) / static_cast<double>(total) : 100.0,
                        static_cast<double>(done) / 1e6 / seconds, seconds);
            }
            fprintf(stderr, "\r\033[K");
            return packed.get();
        };
    }
    BuildSummary summary =
        build_installer(manifest, load_stub(arguments), output, pack, dates, progress, runner);
    if (terminal) fprintf(stderr, "\r\033[K");
    if (arguments.signing.requested()) sign_installer(output, arguments.signing);
    printf("%s: %s, payload %s stored in %s, %zu part%s\n", output.c_str(), counted(summary.files, "file").c_str(),
           amount(summary.plain_payload).c_str(), amount(summary.stored_payload).c_str(), summary.disks + 1,
           summary.disks ? "s" : "");
    return 0;
}

std::string shown_name(const std::string& ansi) {
    std::string text;
    return from_ansi(ansi, text) ? text : ansi;
}

int check(const Arguments& arguments) {
    expect_words(arguments, 1);
    ManifestOptions dates;
    dates.source_date_epoch = source_date_epoch();
    Manifest manifest = load_manifest(arguments.words[0], dates);
    StubImage stub = load_stub(arguments);
    std::string problem = stub_problem(stub.bytes);
    if (!problem.empty())
        throw BuildError((stub.path.empty() ? std::string("the embedded installer program") : "the stub " + stub.path) +
                         " " + problem);
    uint64_t total = 0;
    int warnings = 0;
    for (const ManifestFile& file : manifest.files) {
        total += file.size;
        printf("%-8s %10llu  %-19s  %s  <- %s\n", kind_name(file.kind), static_cast<unsigned long long>(file.size),
               file.date.is_set() ? date_text(file.date).c_str() : "(time of install)", shown_name(file.name).c_str(),
               file.source.c_str());
    }
    printf("%s, %s\n", counted(manifest.files.size(), "file").c_str(), amount(total).c_str());
    auto warn = [&](const std::string& text) {
        fprintf(stderr, "sea: warning: %s\n", text.c_str());
        ++warnings;
    };
    if (manifest.files.empty()) warn("the manifest names no file: the installer would install nothing");
    for (const ManifestFile& file : manifest.files) {
        // FAT and ZIP dates begin in 1980; a date before it is most likely a slip.
        if (file.date.is_set() && file.date.year < 1980)
            warn(file.entry + ": " + shown_name(file.name) + " is dated " + date_text(file.date) + ", before 1980");
    }
    printf("%s: %s\n", manifest.path.c_str(), warnings ? "builds, with warnings" : "builds");
    return 0;
}

int init(const Arguments& arguments) {
    if (arguments.words.size() > 1) throw UsageError("wrong number of arguments");
    namespace fs = std::filesystem;
    fs::path folder = arguments.words.empty() ? fs::path(".") : fs::path(arguments.words[0]);
    fs::path manifest = folder / "setup.toml";
    std::error_code error;
    if (fs::exists(manifest, error)) throw BuildError(manifest.string() + " exists already; init writes only a new one");
    fs::create_directories(folder / "files", error);
    if (error) throw BuildError("cannot make " + (folder / "files").string() + ": " + error.message());
    fs::path note = folder / "files" / "readme.txt";
    if (!fs::exists(note, error)) {
        FILE* out = fopen(note.string().c_str(), "wb");
        if (!out) throw BuildError("cannot write " + note.string());
        fputs("Put the product's files in this folder.\r\n", out);
        fclose(out);
    }
    FILE* out = fopen(manifest.string().c_str(), "wb");
    std::string text = starting_manifest();
    if (!out || fwrite(text.data(), 1, text.size(), out) != text.size() || fclose(out) != 0)
        throw BuildError("cannot write " + manifest.string());
    printf("%s written; put the product's files in %s, then run sea check %s\n", manifest.string().c_str(),
           (folder / "files").string().c_str(), manifest.string().c_str());
    return 0;
}

int info(const Arguments& arguments) {
    expect_words(arguments, 1);
    Installer installer = open_installer(arguments.words[0]);
    const ArchiveHeader& h = installer.header;
    printf("archive offset     %d\n", installer.archive_offset);
    printf("flags              0x%08X %s\n", h.flags, flag_names(h.flags).c_str());
    printf("stub date          %s\n", date_text(h.stub_date).c_str());
    printf("stub checksum      0x%08X\n", h.stub_checksum);
    printf("file count         %d\n", h.file_count);
    printf("payload size       %d\n", h.payload_size);
    printf("signature          %s\n", signature_summary(check_signature(installer.path, installer.executable)).c_str());
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

int list(const Arguments& arguments) {
    expect_words(arguments, 1);
    Installer installer = open_installer(arguments.words[0]);
    std::vector<Record> records = read_records(installer, gather_stored_payload(installer).stored);
    for (const Record& record : records) {
        printf("%-8s %10zu  %-19s  %-18s  %s  \"%s\"\n", kind_name(record.kind), record.content.size(),
               date_text(record.date).c_str(), shortcut_names(record.shortcut_flags).c_str(),
               shown_name(record.name).c_str(), shown_name(record.label).c_str());
    }
    return 0;
}

int verify(const Arguments& arguments) {
    expect_words(arguments, 1);
    const std::string& path = arguments.words[0];
    // The signature first, so that a changed byte is named both as a broken
    // signature and with the archive's own code.
    Bytes file;
    bool signature_broken = false;
    if (read_installer_file(path, file)) {
        SignatureCheck signature = check_signature(path, file);
        printf("%s: %s\n", path.c_str(), signature_summary(signature).c_str());
        signature_broken = signature.broken();
    }
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
    if (signature_broken) throw ArchiveProblem(0, "the archive is sound, but the signature is broken");
    return 0;
}

int sign(const Arguments& arguments) {
    expect_words(arguments, 1);
    if (!arguments.signing.requested()) throw UsageError("sign needs --sign-cert FILE and --sign-key FILE");
    sign_installer(arguments.words[0], arguments.signing);
    printf("%s: signed\n", arguments.words[0].c_str());
    return 0;
}

int extract(const Arguments& arguments) {
    expect_words(arguments, 1);
    size_t count = extract_installer(arguments.words[0], arguments.directory);
    printf("%s written below %s\n", counted(count, "file").c_str(), arguments.directory.c_str());
    return 0;
}

int damage(const Arguments& arguments) {
    if (arguments.words.size() == 1 && arguments.words[0] == "--list") {
        for (size_t i = 0; i < damage_place_count; ++i)
            printf("%-16s %s\n", damage_places[i].name, damage_places[i].effect);
        return 0;
    }
    expect_words(arguments, 2);
    damage_installer(arguments.words[0], arguments.words[1]);
    return 0;
}

int run(int argc, char** argv) {
    if (argc < 2) throw UsageError("no command");
    std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        fputs(usage_text, stdout);
        return 0;
    }
    if (command == "--version" || command == "version") {
        fputs(version_text, stdout);
        return 0;
    }
    Arguments arguments = parse_arguments(argc, argv);
    if (arguments.help) {
        fputs(usage_text, stdout);
        return 0;
    }
    if (command == "build") return build(arguments);
    if (command == "check") return check(arguments);
    if (command == "init") return init(arguments);
    if (command == "info") return info(arguments);
    if (command == "list") return list(arguments);
    if (command == "verify") return verify(arguments);
    if (command == "sign") return sign(arguments);
    if (command == "extract") return extract(arguments);
    if (command == "damage") return damage(arguments);
    if (command == "try") {
        if (arguments.words.empty() || arguments.words.size() > 2) throw UsageError("wrong number of arguments");
        TryOptions trial = arguments.trial;
        trial.setup = arguments.words[0];
        if (arguments.words.size() == 2) trial.answers = arguments.words[1];
        return try_installer(trial);
    }
    throw UsageError("unknown command " + command);
}

// The installer's file, for the messages about it.
std::string subject(int argc, char** argv) {
    std::string command = argc >= 2 ? argv[1] : "";
    // A manifest's messages name it themselves.
    bool installer = command != "build" && command != "check" && command != "init";
    if (argc >= 3 && installer && argv[2][0] != '-') return std::string(argv[2]) + ": ";
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
        fprintf(stderr, "sea: %s\n%s", error.what(), usage_text);
        return 2;
    } catch (const std::exception& error) {
        fflush(stdout);
        fprintf(stderr, "sea: %s%s\n", subject(argc, argv).c_str(), error.what());
        return 1;
    }
}
