// The shell's special folders and shortcut files.
//
// The folders are read from the registry values the shell keeps for them,
// not asked of the shell's folder API; a folder the registry does not hold
// comes back empty (and its key is created by the read), and each caller
// decides what that means. Shortcuts are .LNK files written by the system's
// shell-link object. Everything reports by its result.
#pragma once

#include "foundation/foundation.h"

// A value of HKEY_CURRENT_USER's Explorer\Shell Folders key, and one of
// HKEY_LOCAL_MACHINE's Windows\CurrentVersion key.
String shell_folder(const char* name);
String current_version_value(const char* name);

String desktop_path();
String start_menu_path();
String startup_path();
String fonts_path();
String program_files_path();
String common_files_path();

// Appends ".LNK" unless ".LNK", in any case, occurs anywhere in path.
void add_link_extension(String& path);

// Writes a link to target, showing the target's first icon, at link_path
// (".LNK" added when missing, its folder created when missing). arguments
// and working_dir may be null: they are then not set. False when the link
// could not be written, also when its path does not fit the shell's limit
// of 259 characters.
bool create_shortcut(String link_path, const char* target, const char* arguments, const char* working_dir);

// create_shortcut of a link named name (which may hold subfolders) in the
// desktop or the start-menu folder. link_out, when given, receives the
// link's full path, ".LNK" included, whether or not the link was written.
bool create_desktop_shortcut(const char* name, const char* target, const char* arguments,
                             const char* working_dir, String* link_out);
bool create_start_menu_shortcut(const char* name, const char* target, const char* arguments,
                                const char* working_dir, String* link_out);
