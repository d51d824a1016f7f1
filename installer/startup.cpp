// Start-up and the command line: the background window, the switches, and
// the path of the running executable.
#include "installer/installer.h"

void start_up(HINSTANCE module_instance) {
    instance = module_instance;
    WNDCLASSA window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = background_window_procedure;
    window_class.hInstance = instance;
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = background_window_class;
    core_assert(RegisterClassA(&window_class) != 0);
    // Created at the screen's size rather than 0 by 0: maximising a popup is
    // left to the window manager on some desktops (Wine's among them), and
    // without one the window would stay a dot instead of covering the screen.
    background_window = CreateWindowExA(0, background_window_class, "", WS_POPUP, 0, 0,
                                        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                        nullptr, nullptr, instance, nullptr);
    core_assert(background_window != nullptr);
    ShowWindow(background_window, SW_SHOWMAXIMIZED);
}

namespace {

bool holds_only_blanks(const String& text) {
    for (i32 i = 0; i < text.length(); ++i)
        if (!is_blank(text.char_at(i))) return false;
    return true;
}

// The switches' values may come quoted as a whole word: /d:"c:\x y".
void take_value(String& atom, String& target) {
    target.assign(atom);
    target.strip_enclosing('"');
}

void parse_atom(InstallSession& session, String& atom) {
    if (!atom.remove_leading_any_of("/-")) {
        show_usage(formatted("Unexpected command line parameter:\n%s", atom.text()).text());
    }
    if (atom.compare_no_case("A") == 0) {
        automatic = true;
    } else if (atom.remove_prefix_no_case("D:", 2)) {
        take_value(atom, session.directory);
    } else if (atom.remove_prefix_no_case("N:", 2)) {
        take_value(atom, product_name);
    } else if (atom.remove_prefix_no_case("U", 1)) {
        session.uninstall_requested = true;
        // /u keeps a name given by /n:; anything behind /u but ':' is ignored.
        if (atom.remove_leading(':')) take_value(atom, product_name);
    } else if (!atom.is_empty()) {
        show_usage(formatted("Illegal command line atom:\n%s", atom.text()).text());
    }
}

}  // namespace

void parse_command_line(InstallSession& session) {
    // At most 19 atoms are examined; the rest of the line is ignored.
    for (int n = 1; n < 20 && !holds_only_blanks(session.command_line); ++n) {
        String atom = session.command_line.take_argument();
        parse_atom(session, atom);
    }
}

void find_self_path(InstallSession& session) {
    // The entry point's text lacks the program's name: take the full line.
    String line(GetCommandLineA());
    line.trim_left();
    if (line.first_char() == '"') {
        session.self_path = line.take_quoted(0);
    } else {
        session.self_path = line;
        session.self_path.truncate_at(' ');
    }
    set_default_extension(session.self_path, "EXE");
}

void open_self(InstallSession& session) {
    // A program started by its bare name through PATH from another folder
    // cannot be opened under the name its command line gives: the module's
    // own file name can.
    if (!session.archive_file.open_for_reading(session.self_path.text(), false)) {
        String module = program_path();
        if (!module.is_empty() && session.archive_file.open_for_reading(module.text(), false)) {
            session.self_path = module;
            return;
        }
        fatal_error("Error code 1: The self-extracting archive could not open itself.  Filename:\n%s",
                    session.self_path.text());
    }
}
