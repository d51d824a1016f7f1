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

// A shortcut that a stored program asked for.
struct ShortcutEntry {
    bool on_desktop = false;
    bool in_start_menu = false;
    bool in_startup = false;
    String target;  // the stored file's full path
    String label;   // the shortcut's name
};

// The state of one run, owned by the entry point.
struct InstallSession {
    String command_line;        // the entry point's text, consumed atom by atom
    bool uninstall_requested = false;
    String directory;           // the /d: value; then the installation directory
    String self_path;           // the running executable
    File archive_file;          // the running executable, open for reading
    i32 archive_offset = 0;     // where the archive starts: the length of the executable image
    i32 archive_end = 0;        // where the trailer ends: the file's end, or a certificate table's start
    ArchiveHeader header;       // the archive's decoded settings
    String shared_path;         // the product's shared folder, with uninstall_support
    bool reinstall = false;     // the run copies over a previous installation
    String problems;            // recoverable failures, each ending in a line break
    String uninstaller_path;    // the uninstaller copy, with uninstall_support
    List<ShortcutEntry> shortcut_list;
    List<String> shared_names;  // every shared record's name, in archive order
    String font_list;           // "label" "name" pieces: the uninstaller's ProductFonts
    bool fonts_installed = false;
};

// The product's uninstall key below Software, and the shared-file counts.
extern const char uninstall_key_root[];  // "Microsoft\\Windows\\CurrentVersion\\Uninstall"
extern const char shared_dlls_key[];     // "Microsoft\\Windows\\CurrentVersion\\SharedDLLs"
// Below HKEY_LOCAL_MACHINE: the fonts that stay installed after a restart.
extern const char fonts_key[];           // "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
String uninstall_key_path();

// Adds one text to the session's problem list, with the blank line that
// ends each.
void append_problem(InstallSession& session, const String& text);

// The pre-installation dialogue: returns only when the installation goes on;
// every refusal ends the run. With uninstall_support the product's uninstall
// key is the registry's current key from here to the uninstall information.
void run_pre_installation(InstallSession& session);
void settle_header_settings(InstallSession& session);
void check_previous_installation(InstallSession& session);
void choose_installation_directory(InstallSession& session);
// The checks of a directory the user chose; false: ask again (the reason has
// been shown).
bool accept_chosen_directory(String& directory);
// The shell's folder dialog, starting on directory; false when cancelled.
bool browse_for_directory(String& directory, const char* prompt);
int CALLBACK browse_callback(HWND window, UINT message, LPARAM parameter, LPARAM data);
extern String browse_result;

// Extraction and storing.
void install_uninstaller(InstallSession& session);
void store_entries(InstallSession& session, ByteBuffer& payload);
// Writes one file in place and gives it its date; false when it could not
// (the reason is in problems). A write that fails leaves no file behind.
bool store_file(const char* path, const ByteBuffer& content, const DateTime& date, String& problems);
// The same for the files a later run may keep (shared files, fonts): written
// and dated beside path, then moved over it, so that path never holds a file
// cut short. The problem texts name path.
bool store_whole_file(const char* path, const ByteBuffer& content, const DateTime& date, String& problems);
void count_shared_files(InstallSession& session);
// The full path of a name in a SharedFiles list. Names are stored as the
// archive gives them, below the shared folder, and may hold folders of their
// own (lib\\common.txt); only an absolute name stays as it is.
String shared_file_path(const String& name, const char* shared_path);
void extract_and_store(InstallSession& session);

// Shortcuts, the product's keys and the uninstall information.
void create_shortcuts(InstallSession& session);
void prepare_registry(InstallSession& session);
void store_uninstall_info(InstallSession& session);
void register_installation(InstallSession& session);
extern String created_items;  // quoted shortcut paths, ';' between them
void record_created_item(const char* path);

// The end of an installation, and the log.
CORE_NORETURN void finish_installation(InstallSession& session);
void report_completion(String problems, const String& dir, u32 flags, bool reinstall, bool completed,
                       const char* version);
String now_text();
void view_document(const char* path);

// The uninstaller: true when the product was removed completely.
bool uninstall_product();
// A system, profile or shell folder, or a parent of one: its tree is never
// deleted. Compared made absolute, without regard to case.
bool is_protected_folder(const char* path);

// Start-up and command line.
// Limits the search for DLLs loaded by name to System32; the entry point
// calls it before anything else runs.
void restrict_dll_search();
void start_up(HINSTANCE module_instance);
void parse_command_line(InstallSession& session);
void find_self_path(InstallSession& session);
void open_self(InstallSession& session);

// The archive. Each returns only when its part is sound; a damaged archive
// ends the run with the corrupt-archive report and its code.
// Finds the archive behind the open executable and loads its header; the file
// is left just behind the header block, and archive_end is where the trailer
// ends (in front of a signature's certificate table). A trailer of 0 is the
// "no installation archive present" report.
void load_archive_header(File& archive_file, i32& archive_offset, i32& archive_end, ArchiveHeader& header);
// Reads the payload from behind the header and from Disk2.SEA, Disk3.SEA...
// beside the program, asking for each disk until it can be opened; closes
// the file. The progress bar goes from 5 to 45.
void gather_payload(File& archive_file, i32 archive_end, i32 payload_size, ByteBuffer& payload);
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
// Every box of the run stands over the background window; show_box answers
// with the button pressed. show_error is the "Error" box, which automatic
// mode leaves out.
int show_box(const char* text, const char* title, UINT flags);
void show_error(const char* text);
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
