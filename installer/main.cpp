// The entry point and the order of a run. It never returns: every end, a
// success included, goes through terminate_run with exit code 1.
#include "installer/installer.h"

namespace {

CORE_NORETURN void run_uninstall() {
    if (product_name.is_empty()) show_usage("Product name required");
    if (uninstall_product()) start_self_removal();
    terminate_run();
}

CORE_NORETURN void run_install(InstallSession& session) {
    find_self_path(session);
    open_self(session);
    load_archive_header(session.archive_file, session.archive_offset, session.archive_end, session.header);
    run_pre_installation(session);
    extract_and_store(session);
    register_installation(session);
    finish_installation(session);
}

}  // namespace

int WINAPI WinMain(HINSTANCE module_instance, HINSTANCE, LPSTR command_text, int) {
    // Value-initialised: the whole session is cleared in one go, and the
    // members' own set-up finds nothing left to store (some 500 bytes of
    // single stores otherwise).
    InstallSession session = InstallSession();
    session.command_line.assign(command_text);
    start_up(module_instance);
    parse_command_line(session);
    if (session.uninstall_requested) run_uninstall();
    run_install(session);
}
