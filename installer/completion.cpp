// The end of an installation: the closing batches, the report of success or
// partial success, the block appended to Install.LOG, the offer to show the
// log, and the removal of folders that stayed empty. The exit code does not
// carry the outcome: it is 1 after a success too.
#include "installer/installer.h"

namespace {

const char log_block_format[] =
    "\r\nInstallation log for: %s\r\nInstall date: %s\r\nInstall type: %s\r\nVersion: %s\r\n\r\n";

// The box of a completed installation; true when the user wants to see the log.
bool show_outcome(String& problems, const String& log_path) {
    if (problems.is_empty()) {
        problems.append("Success\r\n\r\n");
        if (!automatic) {
            show_box("Installation has been completed successfully.", "Installation Complete", MB_ICONASTERISK);
        }
        return false;
    }
    String text = "Installation has been completed with partial success.   The installation log is stored at:\r\n" +
                  log_path;
    if (automatic) return false;
    text.append("\r\n\r\nDo you wish to view the log? ");
    return show_box(text.text(), "Partial Success", MB_YESNO | MB_ICONASTERISK) == IDYES;
}

}  // namespace

String now_text() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    int hour = now.wHour;
    char letter = 'a';
    if (hour > 12) {
        hour -= 12;
        letter = 'p';
    }
    return formatted("%d/%d/%d %d:%02d:%02d%c", now.wMonth, now.wDay, now.wYear, hour, now.wMinute, now.wSecond,
                     letter);
}

void view_document(const char* path) {
    if (!file_exists(path)) return;
    String command = formatted("notepad.exe \"%s\"", path);
    if (!run_program(command.text(), run_maximized))
        error_box("Unable to view document.  Command line:\r\n%s\r\n", command.text());
}

void report_completion(String problems, const String& dir, u32 flags, bool reinstall, bool completed,
                       const char* version) {
    String log_path = join_path(dir.text(), log_file_name);
    bool had_problems = !problems.is_empty();
    bool view = completed && show_outcome(problems, log_path);
    if ((flags & header_flag::always_log) || had_problems) {
        String date = now_text();
        problems.insert_format(log_block_format, product_name.text(), date.text(), reinstall ? "Reinstall" : "New",
                               version);
        // A previous installation that failed to uninstall may have lost its
        // folder on the way; its log block still belongs there.
        create_directory(dir.text());
        if (!append_text_file(log_path.text(), problems.text())) {
            error_box("Unable to append to the installation log file:\r\n%s\r\n", log_path.text());
            view = false;
        }
    }
    if (view) view_document(log_path.text());
}

void finish_installation(InstallSession& session) {
    const ArchiveHeader& header = session.header;
    set_status("Finished");
    set_progress(100);
    run_batch(session.directory.text(), header.batch_after, session.shared_path.text());
    close_progress_dialog();
    report_completion(session.problems, session.directory, header.flags, session.reinstall, true,
                      header.version_text.text());
    run_batch(session.directory.text(), header.batch_last, session.shared_path.text());
    remove_directory(session.shared_path);
    remove_directory(session.directory);
    terminate_run();
}
