// `sea try`. The prefix comes from the project's sandbox script, carried in
// the tool with the script that tells which kind of prefix this machine can
// run; the installer and the robot are copied into it, since no drive of the
// sandbox reaches this machine's files. Wine itself writes to its prefix
// whenever a program starts (it rescans fonts, for one), so a bare run of a
// system program comes first and whatever it changes is left out of every
// comparison.
#include "builder/try.h"

#include "builder/build.h"
#include "builder/reader.h"
#include "builder/system.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

extern const unsigned char sea_embedded_robot[];
extern const size_t sea_embedded_robot_size;
extern const unsigned char sea_embedded_sandbox[];
extern const size_t sea_embedded_sandbox_size;
extern const unsigned char sea_embedded_wine_arch[];
extern const size_t sea_embedded_wine_arch_size;

namespace fs = std::filesystem;

namespace {

const char shared_counts_key[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char uninstall_keys[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class TryError : public std::runtime_error {
public:
    explicit TryError(const std::string& message) : std::runtime_error(message) {}
};

void write_file_bytes(const std::string& path, const void* bytes, size_t size, bool executable) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    if (!out) throw TryError("cannot write " + path);
    out.close();
    if (executable) fs::permissions(path, fs::perms::owner_exec | fs::perms::owner_read, fs::perm_options::add);
}

// A text as the robot reads it: in double quotes, with C escapes.
std::string robot_text(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string shown(const std::string& entry, const std::string& text) {
    if (text == "folder") return entry + "\\";
    if (text == "key") return "[" + entry + "]";
    if (entry.find(" > ") != std::string::npos) return entry + " = " + text;
    return entry + "  (" + text + ")";
}

void print_changes(const char* title, const std::vector<Change>& list) {
    printf("%s (%zu):\n", title, list.size());
    for (const Change& change : list) {
        if (change.before.empty()) {
            printf("  + %s\n", shown(change.entry, change.after).c_str());
        } else if (change.after.empty()) {
            printf("  - %s\n", shown(change.entry, change.before).c_str());
        } else {
            printf("  ~ %s, was %s\n", shown(change.entry, change.after).c_str(), change.before.c_str());
        }
    }
}

// Wine's console host writes its defaults below HKCU\Console the first
// time a batch opens a console window; Windows has them from the start.
std::vector<Change> without_console_defaults(std::vector<Change> list) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const Change& change) {
                                  const std::string& entry = change.entry;
                                  return entry == "HKCU\\Console" || entry.compare(0, 13, "HKCU\\Console\\") == 0 ||
                                         entry.compare(0, 15, "HKCU\\Console > ") == 0;
                              }),
               list.end());
    return list;
}

bool starts_with_folder(const std::string& path, const std::string& folder) {
    if (path.size() <= folder.size() || path[folder.size()] != '\\') return false;
    for (size_t i = 0; i < folder.size(); ++i) {
        if (tolower(static_cast<unsigned char>(path[i])) != tolower(static_cast<unsigned char>(folder[i])))
            return false;
    }
    return true;
}

// The machine of a Windows program: "i386", "x86-64", or "" for none.
std::string machine_of(const Bytes& program) {
    if (program.size() < 0x40 || program[0] != 'M' || program[1] != 'Z') return "";
    size_t pe = load_le32(&program[0x3C]);
    if (pe + 6 > program.size() || memcmp(&program[pe], "PE\0\0", 4) != 0) return "";
    unsigned machine = program[pe + 4] | program[pe + 5] << 8;
    return machine == 0x14C ? "i386" : machine == 0x8664 ? "x86-64" : "other";
}

class Trial {
public:
    explicit Trial(const TryOptions& options) : options_(options) {}
    ~Trial() {
        if (!prefix_.empty() && options_.keep.empty()) {
            std::string ignored;
            run_program({"bash", sandbox_, "remove", prefix_}, "", &ignored);
        }
        if (!work_.empty()) {
            std::error_code error;
            fs::remove_all(work_, error);
        }
    }

    int run() {
        check_tools();
        prepare();
        Snapshot first = take_snapshot(prefix_);
        run_robot("run " + robot_text("C:\\windows\\system32\\cmd.exe /c exit 0") + "\n", "a bare program");
        Snapshot bare = take_snapshot(prefix_);
        for (const Change& change : changes_between(first, bare, {})) noise_.insert(change.entry);

        std::string setup = "C:\\sea-try\\" + fs::path(options_.setup).filename().string();
        bool automatic = options_.answers.empty();
        printf("Installing %s in a fresh Wine prefix (%s)\n", options_.setup.c_str(),
               automatic ? "automatic mode" : ("answering from " + options_.answers).c_str());
        std::string script = "pass Installing...\n";
        if (automatic) {
            script += "run " + robot_text(setup + " /a") + "\n";
        } else {
            script += "run " + robot_text(setup) + "\n" + read_file_text(options_.answers);
        }
        bool installed = show_transcript("The installer", run_robot(script, "the installation"));
        Snapshot after_installation = take_snapshot(prefix_);
        std::vector<Change> added = without_console_defaults(changes_between(bare, after_installation, noise_));
        print_changes("The installation added", added);
        if (!installed) {
            printf("The installation did not end as the script expects; nothing is uninstalled.\n");
            return 1;
        }

        std::string command, location;
        for (const Change& change : added) {
            if (change.entry.compare(0, strlen(uninstall_keys), uninstall_keys) != 0) continue;
            size_t value = change.entry.find(" > ");
            std::string name = value == std::string::npos ? "" : change.entry.substr(value + 3);
            if (name == "QuietUninstallString" && command.empty()) command = registry_string(change.after);
            if (name == "InstallLocation" && location.empty()) location = registry_string(change.after);
        }
        std::string program, line;
        if (!split_uninstall_command(command, program, line)) {
            printf("The installation registered no uninstaller (the manifest's flags lack uninstall_support), "
                   "so all it added stays.\n");
            return 1;
        }
        printf("Uninstalling with: %s\n", command.c_str());
        bool uninstalled = show_transcript("The uninstaller",
                                           run_robot("run " + robot_text(line) + " " + robot_text(program) + "\n",
                                                     "the uninstallation"));
        Snapshot after_uninstallation = take_snapshot(prefix_);
        std::vector<Change> left, kept;
        for (const Change& change : without_console_defaults(changes_between(bare, after_uninstallation, noise_))) {
            // The uninstaller removes the installation folder, not the
            // folders above it that the installation made.
            bool above = change.after == "folder" && change.before.empty() && !location.empty() &&
                         starts_with_folder(location, change.entry);
            // Windows always has the key of shared-file counts; a prefix
            // gets it from the first installation that counts a file.
            bool counts = change.after == "key" && change.entry == shared_counts_key;
            (above || counts ? kept : left).push_back(change);
        }
        if (!kept.empty())
            print_changes("Kept on purpose (folders above the installation folder, the system's key of shared-file "
                          "counts)", kept);
        if (left.empty() && uninstalled) {
            printf("The uninstallation left nothing behind.\n");
            return 0;
        }
        print_changes("The uninstallation left behind", left);
        if (!options_.keep.empty()) printf("The prefix is kept in %s\n", prefix_.c_str());
        return 1;
    }

private:
    void check_tools() {
        std::vector<std::string> missing;
        for (const char* tool : {"bash", "wine"}) {
            if (!program_on_path(tool)) missing.push_back(tool);
        }
        const char* display = getenv("DISPLAY");
        if ((!display || !*display) && !program_on_path("xvfb-run")) missing.push_back("xvfb-run");
        if (!missing.empty()) {
            std::string list;
            for (const std::string& tool : missing) list += (list.empty() ? "" : ", ") + tool;
            throw TryError("try runs on Linux and needs wine and xvfb-run on PATH (on Debian: apt-get install wine "
                           "wine64 xvfb); "
                           "missing: " + list);
        }
    }

    void prepare() {
        // Refuses what is no installer, in the reader's words.
        const Bytes setup = open_installer(options_.setup).executable;

        work_ = (fs::temp_directory_path() / ("sea-try-" + std::to_string(process_number()))).string();
        fs::remove_all(work_);
        fs::create_directories(work_);
        sandbox_ = work_ + "/wine-sandbox";
        write_file_bytes(sandbox_, sea_embedded_sandbox, sea_embedded_sandbox_size, true);
        write_file_bytes(work_ + "/wine-arch", sea_embedded_wine_arch, sea_embedded_wine_arch_size, true);
        std::string arch;
        run_program({"bash", work_ + "/wine-arch"}, "", &arch);
        arch = arch.substr(0, arch.find('\n'));
        std::string machine = machine_of(setup);
        if (arch == "win64" && machine == "i386")
            throw TryError(options_.setup + " is a 32-bit program, and this machine runs no 32-bit code under Wine");
        if (arch == "win32" && machine == "x86-64")
            throw TryError(options_.setup + " is a 64-bit program, and this machine's Wine prefixes are 32-bit");

        std::string robot;
        if (!options_.robot.empty()) {
            robot = read_file_text(options_.robot);
            if (robot.empty()) throw TryError("cannot read the robot " + options_.robot);
        } else {
            if (sea_embedded_robot_size < 2) throw TryError("this sea carries no robot: give one with --robot");
            robot.assign(reinterpret_cast<const char*>(sea_embedded_robot), sea_embedded_robot_size);
        }
        // The robot that sea carries is the 32-bit one that ships with it.
        if (arch == "win64" && machine_of(Bytes(robot.begin(), robot.end())) == "i386")
            throw TryError("the robot is a 32-bit program, and this machine runs no 32-bit code under Wine: "
                           "give one built for x86-64 with --robot (build/win64/tools/robot/robot.exe)");

        std::string template_dir = options_.template_dir;
        if (template_dir.empty()) {
            const char* cache = getenv("XDG_CACHE_HOME");
            const char* home = getenv("HOME");
            std::string base = cache && *cache ? cache : std::string(home ? home : ".") + "/.cache";
            template_dir = base + "/sea/wine-" + arch;
        }
        fprintf(stderr, "sea: preparing the Wine sandbox in %s (the first time takes a minute)\n", template_dir.c_str());
        std::string output;
        if (run_program({"bash", sandbox_, "template", template_dir}, "", &output) != 0)
            throw TryError("the Wine sandbox could not be made in " + template_dir);
        prefix_ = options_.keep.empty() ? work_ + "/prefix" : options_.keep;
        if (run_program({"bash", sandbox_, "clone", template_dir, prefix_}, "", &output) != 0)
            throw TryError("the Wine sandbox could not be copied to " + prefix_);

        std::string folder = prefix_ + "/drive_c/sea-try";
        fs::create_directories(folder);
        fs::copy_file(options_.setup, folder + "/" + fs::path(options_.setup).filename().string(),
                      fs::copy_options::overwrite_existing);
        for (int disk = 2;; ++disk) {
            std::string name = disk_file_name(disk);
            std::string source = folder_of(options_.setup) + name;
            if (!fs::exists(source)) break;
            fs::copy_file(source, folder + "/" + name, fs::copy_options::overwrite_existing);
        }
        write_file_bytes(folder + "/robot.exe", robot.data(), robot.size(), false);
    }

    // Runs the robot with a script in the prefix and waits until every
    // process of the prefix has ended (the uninstaller's self-removal batch
    // among them). Returns the transcript.
    std::string run_robot(const std::string& script, const char* what) {
        std::string transcript, ignored;
        fflush(stdout);
        // What Wine and the X server say on the way is not the product's.
        const char quiet[] = "exec bash \"$@\" 2>/dev/null";
        int status = run_program({"bash", "-c", quiet, "bash", sandbox_, "run", prefix_, "C:\\sea-try\\robot.exe",
                                  "--timeout", std::to_string(options_.timeout)},
                                 script, &transcript);
        run_program({"bash", "-c", quiet, "bash", sandbox_, "wait", prefix_}, "", &ignored);
        if (status < 0) throw TryError(std::string("Wine could not be started for ") + what);
        return transcript;
    }

    // Shows what the robot saw when it is more than the program's end;
    // false when the robot met what the script does not expect.
    static bool show_transcript(const char* who, const std::string& transcript) {
        bool plain = transcript.compare(0, 5, "exit ") == 0 && transcript.find('\n') + 1 == transcript.size();
        if (!plain) {
            printf("%s showed:\n", who);
            std::istringstream lines(transcript);
            for (std::string line; std::getline(lines, line);) printf("  | %s\n", line.c_str());
        }
        return transcript.find("error ") == std::string::npos && transcript.find("exit ") != std::string::npos;
    }

    TryOptions options_;
    std::string work_, sandbox_, prefix_;
    std::set<std::string> noise_;
};

}  // namespace

int try_installer(const TryOptions& options) {
    try {
        // Every program of the try shares one display, the sandbox's own X
        // server where the tool has none: a batch that outlives the program
        // that started it (the uninstaller's self-removal) must not lose its
        // display halfway.
        const char* display = getenv("DISPLAY");
        if ((!display || !*display) && program_on_path("xvfb-run") && !own_program().empty()) {
            std::vector<std::string> words = {"xvfb-run", "-a", "-s", "-screen 0 1024x768x24", own_program(), "try",
                                              options.setup};
            if (!options.answers.empty()) words.push_back(options.answers);
            for (const auto& option : {std::make_pair("--robot", options.robot),
                                       std::make_pair("--template", options.template_dir),
                                       std::make_pair("--keep", options.keep)}) {
                if (!option.second.empty()) words.insert(words.end(), {option.first, option.second});
            }
            words.insert(words.end(), {"--timeout", std::to_string(options.timeout)});
            return run_program(words, "", nullptr);
        }
        Trial trial(options);
        return trial.run();
    } catch (const TryError& error) {
        fprintf(stderr, "sea: %s\n", error.what());
        return 1;
    }
}
