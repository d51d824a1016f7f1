// Directories, drives, files and child processes on the disk of the running
// system: stateless free functions over path texts.
//
// Every function reports by its result (false, an empty String); only
// create_directory_or_fail ends the run. directory_exists changes the
// process's current directory for the duration of its test, which is safe
// because the installer has one thread.
#pragma once

#include "foundation/foundation.h"

bool directory_exists(const char* path);
// Creates the directory and every missing ancestor; true when it is there.
bool create_directory(const char* path);
void create_directory_or_fail(const char* path);
// Removes an empty directory; never a drive root.
bool remove_directory(String path);
// Removes every file (read-only ones too) and subdirectory below path, then
// path itself. A drive root is never emptied.
bool delete_directory_tree(const char* path);
// Deletes a file, read-only or not.
bool delete_file(const char* path);
// Moves source over target on the same drive: target is then either the old
// file or the whole new one, never a mixture, whatever happens meanwhile.
bool replace_file(const char* source, const char* target);
bool file_exists(const char* path);
bool drive_exists(char letter);

// The one option of run_program: show the program's window maximized.
const u32 run_maximized = 0x20;
// Starts a command line without waiting for it; true when it started.
bool run_program(const char* command_line, u32 options);

String current_directory();
// The running program's own file, and the directory it lies in.
String program_path();
String program_directory();
