// The manifest that `sea init` writes: every key, with what it does in the
// finished installer, most of them commented out so that the file is a
// valid manifest as it stands and a packager removes a "#" to use a key.
#include "builder/starting_manifest.h"

namespace {

const char starting_manifest_text[] = R"(# The manifest of an installer, for `sea build` (see docs/manifest.md).
# Paths are relative to this file's folder. `sea check` checks it and
# lists what would be packed, without writing anything.

# The product's name: the title of every box, the installer's big title and
# the name under which Windows lists it for removal.
product_name = "@PRODUCT@"
# Part of the default start-menu folder and of the folder of shared files
# (Common Files\publisher).
publisher = "My Company"
# Shown in the list of installed programs; compared with an installed
# version, so that an older one does not replace a newer one.
version = "1.0"
# Where the files go unless the user chooses (flag choose_directory).
default_directory = 'C:\Program Files\@PRODUCT@'
# The shortcuts' folder in the start menu.
start_menu_folder = "@PRODUCT@"
# The product's own registry key, below Software in HKEY_LOCAL_MACHINE and
# HKEY_CURRENT_USER: made empty on installation, removed with the product
# (with the parents it leaves empty) when uninstall_support is set.
# product_registry = 'My Company\@PRODUCT@'

# Options, by name:
#   uninstall_support     register the product for removal (an uninstaller,
#                         shared-file counts); needed for kind = "shared"
#   must_uninstall_first  an installed copy must be removed before this one
#   choose_directory      the user chooses the installation directory
#   quiet_file_list       the progress dialog does not name each file
#   confirm_font_removal  the uninstaller asks before removing each font
#   always_log            write Install.LOG even when nothing went wrong
#   automatic             install without questions (like the /a switch)
#   automatic_uninstall   remove without questions
#   compressed_payload    an older way to ask for compress = true, the default
flags = ["uninstall_support"]
# The payload is compressed (`sea build --level` chooses how hard); false
# stores it as it is, which builds faster.
# compress = false
# The date of every file that gives none itself; without it a file keeps its
# modification time. Quoted or not; "none" gives the time of installation.
# date = 2024-06-01 12:00:00

# Texts, inline or from a UTF-8 file with _file behind the key
# (licence_file = "licence.txt"). Empty or absent: that step is left out.
# "<product>" in the welcome stands for the product's name.
# welcome = "Welcome to <product>.\n\nThis installs <product> on your computer."
# licence_file = "licence.txt"
# readme_file = "readme.txt"

# Batch files (lines of cmd.exe), each run at one moment; see the
# manifest reference for what %1, %2 and %3 hold.
#   batch_before      before the files are stored
#   batch_after       after the files and shortcuts, before the completion box
#   batch_last        after the completion box
#   uninstall_batch1  by the uninstaller, before it removes the files
#   uninstall_batch2  by the uninstaller, at its end
# batch_after = "echo installed in %1 > \"%1\\installed.txt\""

# One [[file]] table per file, folder or pattern:
#   source     a file, a folder (all files below it) or a pattern (bin/*.exe,
#              docs/**/*.txt); ${NAME} is the environment variable NAME
#   name       its name in the installation (bin\tool.exe); for a folder or
#              pattern, the folder its files go to; default: its own name
#   kind       program (default), startup (also started with Windows),
#              shared (in Common Files\publisher, counted), font
#   shortcuts  ["desktop", "start_menu"], either or both, for programs
#   label      the shortcut's or font's name (one file only)
#   date       as the date above, for this file
# [[file]]
# source = "bin/@PRODUCT@.exe"
# shortcuts = ["desktop", "start_menu"]
# label = "@PRODUCT@"
)";

}  // namespace

std::string starting_manifest(const std::string& product) {
    std::string text = starting_manifest_text;
    const std::string mark = "@PRODUCT@";
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + product.size()))
        text.replace(at, mark.size(), product);
    return text;
}
