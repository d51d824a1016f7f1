// What differs between the systems that `sea` runs on: file dates and the
// local time zone, replacing and removing files, the terminal, and writing
// an extracted file below a folder without following a link. One file per
// system keeps its side of this contract: system_posix.cpp for the Linux
// tool, system_windows.cpp for sea.exe. No other file of the builder includes
// a system's headers.
#pragma once

#include "builder/writer.h"

#include <stdio.h>

#include <string>
#include <vector>

// True when the stream is a terminal that a progress line may be drawn on.
bool is_terminal(FILE* stream);

// The modification time of a file, in seconds since 1970; false when it has
// none to give.
bool file_modified(const std::string& path, int64_t& seconds);

// The build machine's local date for a time in seconds since 1970, and back.
DateTime local_date(int64_t seconds);
int64_t seconds_of_local_date(const DateTime& date);

// A number that no other running process has, for temporary names.
unsigned long process_number();

// The folder part of a path, with its last separator; empty when it has
// none.
std::string folder_of(const std::string& path);

// True when something (a file, folder or link) is there, without following
// a link.
bool entry_exists(const std::string& path);
bool remove_file(const std::string& path);
// Moves from over to, replacing a file that is there.
bool replace_file(const std::string& from, const std::string& to);
// The system's words for why the last of the calls above failed.
std::string last_system_error();

// Runs a program, found on PATH when its name has no slash, with input on
// its standard input, and waits for it; what it writes to its standard
// output is collected in output (or goes where the tool's goes, when output
// is null), and so is its standard error with with_errors, interleaved as
// written; else that goes where the tool's goes. Returns its exit status, or
// -1 when it cannot be run (on systems where the tool runs no programs,
// always).
int run_program(const std::vector<std::string>& words, const std::string& input, std::string* output,
                bool with_errors = false);
// The path of the running tool's own program.
std::string own_program();
// True when a program of that name is on PATH.
bool program_on_path(const std::string& name);

// Writes content to dir/parts[0]/.../parts[n-1], making the folders, dated
// date when it is set. No part may be or pass through a link, so that a
// hostile name or a planted link cannot reach outside dir. Throws
// ArchiveProblem naming the part that failed.
void write_below(const std::string& dir, const std::vector<std::string>& parts, const Bytes& content,
                 const DateTime& date);
