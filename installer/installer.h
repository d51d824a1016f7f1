// The installer driver: the run of one installation or uninstallation, from
// the entry point and the command line to the end of the process, with its
// message boxes and fatal reports.
//
// It uses every layer below it: foundation, platform, archive and ui. Every
// run ends in terminate_run, with exit code 1.
#pragma once

#include <windows.h>

#include "archive/archive.h"
#include "foundation/foundation.h"
#include "platform/platform.h"
#include "ui/ui.h"

// Process-wide state of the driver (the window state lives in ui.h).
extern bool automatic;                    // no questions, no dialogs, no non-fatal boxes
extern const char uninstaller_file_name[];  // "Uninstall.EXE"
extern const char log_file_name[];          // "Install.LOG"

// The state of one run, owned by the entry point.
struct InstallSession {
    String command_line;        // the entry point's text, consumed atom by atom
    bool uninstall_requested = false;
    String directory;           // the /d: value
    String self_path;           // the running executable
    File archive_file;          // the running executable, open for reading
    i32 archive_offset = 0;     // where the archive starts: the length of the executable image
    ArchiveHeader header;       // the archive's decoded settings
    String problems;            // recoverable failures, one line each
};

// Start-up and command line.
void start_up(HINSTANCE module_instance);
void parse_command_line(InstallSession& session);
void find_self_path(InstallSession& session);
void open_self(InstallSession& session);

// The archive. Each returns only when its part is sound; a damaged archive
// ends the run with the corrupt-archive report and its code.
// Finds the archive behind the open executable and loads its header; the file
// is left just behind the header block. A trailer of 0 is the "no
// installation archive present" report.
void load_archive_header(File& archive_file, i32& archive_offset, ArchiveHeader& header);
// Reads the payload from behind the header and from Disk2.SEA, Disk3.SEA...
// beside the program, asking for each disk until it can be opened; closes
// the file. The progress bar goes from 5 to 45.
void gather_payload(File& archive_file, i32 payload_size, ByteBuffer& payload);
// Decodes the gathered bytes when the flags say they are compressed, and
// leaves the position at 0.
void decode_payload(ByteBuffer& payload, u32 flags);
// The next record; its kind is for the caller to check.
void read_file_entry(ByteBuffer& payload, FileEntry& out);

// Ends of the run and the standard boxes.
CORE_NORETURN void terminate_run();
CORE_NORETURN void corrupt_archive(i32 code);
CORE_NORETURN void show_usage(const char* message);
void error_box(const char* format, ...) CORE_PRINTF(1, 2);
// The question before a newer file on the computer is overwritten; true
// means overwrite. Kept silently (false) in automatic mode.
bool ask_replace_newer(const char* path, const DateTime& new_date, const char* kind);
void broadcast_font_change();

// Batches. run_batch writes text as ZORVEN.BAT in dir, runs it with dir, the
// shared path and dir's drive as %1 %2 %3, waits for it and deletes it; true
// for an empty text (nothing runs) or a batch that could be started.
bool run_batch(const char* dir, String text, const char* shared_path);
// The script run_batch writes: "@echo off", then text (in automatic mode
// line by line, without its PAUSE commands), with CR LF line ends.
String batch_script(String text, bool automatic_mode);
// Writes the self-removal batch, which deletes the running program once it
// has ended and then its emptied directories, and starts it in the
// background; the caller ends the process straight afterwards.
bool start_self_removal();
extern const char self_removal_batch_path[];  // "c:\\delunins.bat"
String self_removal_script(const char* self_path);
