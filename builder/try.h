// `sea try`: an installer installed and then uninstalled in a fresh,
// sandboxed Wine prefix, with a report of what the installation added and
// what the uninstallation left behind. It is how a packager sees a product
// the way a user's machine will, before shipping it.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

// What a prefix holds: every file and folder of drive C and every registry
// key and value of the machine and of the user. Entries are named
// "C:\path" (files and folders), "HKLM\Software\Key" (keys) and
// "HKLM\Software\Key > name" (values); the text says what the entry is:
// "folder", "N bytes, DATE", "key", or the value's data as Wine keeps it.
typedef std::map<std::string, std::string> Snapshot;

Snapshot take_snapshot(const std::string& prefix);
// The keys and values of one of Wine's registry files, below root.
void read_registry_text(const std::string& text, const std::string& root, Snapshot& into);

// The text of a REG_SZ value as a snapshot holds it ("..." with C escapes);
// empty for other data.
std::string registry_string(const std::string& data);

// The whole of a file; empty when it cannot be read.
std::string read_file_text(const std::string& path);

// An entry that differs: before is empty for one added, after for one
// removed.
struct Change {
    std::string entry;
    std::string before;
    std::string after;
};
// What differs from before to after, leaving out the entries in ignored.
std::vector<Change> changes_between(const Snapshot& before, const Snapshot& after,
                                    const std::set<std::string>& ignored);

// The program and the whole command line of a registered uninstall command
// such as C:\Program Files\P\Uninstall.EXE /a /u:"P", whose program path
// holds blanks without quotes; false when it names no program.
bool split_uninstall_command(const std::string& command, std::string& program, std::string& line);

struct TryOptions {
    std::string setup;
    std::string answers;       // a robot script for the installation; empty: automatic mode
    std::string robot;         // the robot program; empty: the one carried by the tool
    std::string template_dir;  // the sandbox's template prefix; empty: one in the user's cache
    std::string keep;          // a folder to keep the prefix in; empty: removed at the end
    int timeout = 120;         // seconds each box or program may take
};

// Runs the whole try and prints its report; returns the exit status: 0 when
// the uninstallation left nothing that it should have removed.
int try_installer(const TryOptions& options);
