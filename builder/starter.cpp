// The text of the starting manifest. It builds as it stands, once the
// product's files are in files/ beside it.
#include "builder/starter.h"

std::string starting_manifest() {
    return R"(# A manifest for `sea build`: the installer's settings and its files.
# Check it with `sea check setup.toml`, build it with
#   sea build setup.toml -o setup.exe
# Texts are UTF-8 here and must fit the Windows-1252 code page. Paths are
# relative to this file. Remove the # of a line to use its key.

# The product's name: the title of the installer's windows, the name of its
# uninstall entry, and what `/u:"name"` names to uninstall it (required).
product_name = "My Product"
# Shown in the uninstall entry of the system's list of programs.
publisher = "My Company"
# The version text; "2.10" also gives the uninstall entry's major and minor.
version = "1.0"
# Where the product goes. The user may choose another folder when the flags
# say choose_directory; /d:"folder" on the command line gives another too.
default_directory = 'C:\Program Files\My Product'
# The folder below the start menu's Programs for the product's shortcuts.
start_menu_folder = "My Product"
# The product's own key below HKEY_LOCAL_MACHINE\Software and
# HKEY_CURRENT_USER\Software, written at installation (no "Software\" here).
product_registry = 'My Company\My Product'

# The welcome box's text; <product> stands for the product's name. Without it
# there is no welcome box.
welcome = "Welcome to <product>.\n\nThis will install <product> on your computer."
# The licence the user must accept, and a readme shown before the folder is
# chosen: inline, or read from a file with licence_file / readme_file.
# licence_file = "licence.txt"
# readme_file = "readme.txt"

# Option bits by name:
#   uninstall_support     write Uninstall.EXE and the uninstall entry (needed
#                         for shared files and for uninstalling at all)
#   choose_directory      let the user choose the installation folder
#   always_log            write Install.LOG even when nothing went wrong
#   quiet_file_list       show "Storing files..." rather than each file's name
#   must_uninstall_first  a previous installation is uninstalled before this
#                         one installs, rather than copied over
#   confirm_font_removal  the uninstaller asks before it removes a font
#   automatic             install without any question, as with /a
#   automatic_uninstall   uninstall without any question
flags = ["uninstall_support", "choose_directory"]

# The files are compressed unless this says false.
# compress = false

# The date of every file that names none itself: a fixed date gives the same
# installer bytes on every build. Without it, each file keeps its own date.
date = 2024-06-01 12:00:00

# Batches run by the command interpreter, elevated, with %1 the installation
# folder, %2 the shared folder and %3 the drive (C:); in automatic mode their
# PAUSE lines are dropped.
#   batch_before      after the folder is chosen, before any file is stored
#   batch_after       after the files, shortcuts and keys are in place
#   batch_last        after the completion box and the log
#   uninstall_batch1  before the uninstaller removes anything
#   uninstall_batch2  after it has removed the product
# batch_after = '''
# echo Installed to %1
# '''

# One [[file]] entry per file, folder (every file below it) or pattern
# (files/*.txt; ** matches any depth: files/**/*.dll).
#   source     the file, folder or pattern on this machine (required)
#   name       its name in the installation folder, subfolders allowed; for a
#              folder or pattern, the folder its files go to
#   kind       program (the default), startup (a program with a shortcut in
#              the Startup folder), shared (a shared file with a use count,
#              in the shared folder) or font (installed in the Fonts folder)
#   shortcuts  ["desktop", "start_menu"] for a program
#   label      the shortcut's name, or a font's name
#   date       this file's date, or "none" for the time of installation
[[file]]
source = "files"
)";
}
