// The entry point and the order of a run. It never returns: every end, a
// success included, goes through terminate_run with exit code 1.
#include "installer/installer.h"

namespace {

void run_uninstall(InstallSession&) {
    if (product_name.is_empty()) show_usage("Product name required");
    terminate_run();
}

void run_install(InstallSession& session) {
    find_self_path(session);
    open_self(session);
    load_archive_header(session.archive_file, session.archive_offset, session.header);
    terminate_run();
}

}  // namespace

int WINAPI WinMain(HINSTANCE module_instance, HINSTANCE, LPSTR command_text, int) {
    InstallSession session;
    session.command_line.assign(command_text);
    start_up(module_instance);
    parse_command_line(session);
    if (session.uninstall_requested) run_uninstall(session);
    run_install(session);
    return 1;
}
