// The directory choice without the shell's folder dialog, whose typed paths
// Wine ignores: the installer's own loop, linked with a folder dialog that
// hands back the answers given on the command line, one per opening.
//   directory_loop choose ANSWER...   runs the loop from C:\Start; an
//                                     answer "-" is a cancel; ends in the
//                                     box "Accepted" with the directory
//   directory_loop typed TEXT         hands TEXT to the browse callback as
//                                     a typed path; ends in the box
//                                     "Callback" with its result
#include <shlobj.h>

#include "installer/installer.h"

namespace {

String answers;

CORE_NORETURN void show_result(const char* title, const String& text) {
    MessageBoxA(background_window, text.text(), title, MB_OK);
    ExitProcess(0);
}

}  // namespace

bool browse_for_directory(String& directory, const char* prompt) {
    String answer = answers.take_argument();
    if (answer.is_empty() || answer.compare_no_case("-") == 0) return false;
    directory = answer;
    return true;
}

int WINAPI WinMain(HINSTANCE module_instance, HINSTANCE, LPSTR command_text, int) {
    start_up(module_instance);
    answers = command_text;
    String mode = answers.take_argument();
    if (mode.compare_no_case("typed") == 0) {
        String typed = answers.take_argument();
        int result = browse_callback(background_window, BFFM_VALIDATEFAILEDA, reinterpret_cast<LPARAM>(typed.text()), 0);
        show_result("Callback", formatted("returned %d, typed path \"%s\"", result, browse_result.text()));
    }
    InstallSession session;
    session.header.flags = header_flag::choose_directory;
    session.directory = "C:\\Start";
    product_name = "Loop Product";
    choose_installation_directory(session);
    show_result("Accepted", session.directory);
}
