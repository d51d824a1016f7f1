// The pre-installation dialogue: the settings that follow from the header,
// the welcome box, the licence and readme, a previous installation of the
// same product, the installation directory and the first batch. Every
// refusal ends the run; nothing has been written by then but the shared
// folder and the uninstall key (and what removing a previous installation
// changed).
#include <stdlib.h>

#include "installer/installer.h"

const char uninstall_key_root[] = "Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char shared_dlls_key[] = "Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char fonts_key[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

namespace {

const double system_version = 2.4;
const char previous_title[] = "Previous Installation Found";
const char choosing_title[] = "Choosing Installation Directory";

bool ask(const char* text, const char* title, UINT flags) {
    return show_box(text, title, flags) == IDYES;
}

void show_welcome(const ArchiveHeader& header) {
    String text(header.welcome_text);
    text.replace_all("<product>", product_name.text());
    String title = formatted("Self-Extracting Archive v%.1f", system_version);
    if (!ask(text.text(), title.text(), MB_YESNO | MB_ICONINFORMATION)) terminate_run();
}

void show_text(const char* template_name, const String& text) {
    if (text.is_empty()) return;
    if (show_text_dialog(template_name, text.text()) != ID_ACCEPT) terminate_run();
}

const char* version_phrase(double installed, double fresh) {
    if (installed == 0 || fresh == 0) return "A previous copy";
    if (installed == fresh) return "The same version";
    return installed < fresh ? "An older version" : "A newer version";
}

// The report and the questions; true: copy over, false: uninstall first.
bool ask_about_previous(const InstallSession& session, const String& location) {
    String installed_text = get_string("DisplayVersion", "");
    double installed = installed_text.to_double();
    double fresh = atof(session.header.version_text.text());
    String text = formatted("%s of %s is installed at:\r\n%s\r\n\r\n", version_phrase(installed, fresh),
                            product_name.text(), location.text());
    if (session.header.flags & header_flag::must_uninstall_first) {
        text.append("You must uninstall the previous installation first.\r\nDo you wish to do this now?");
        if (!ask(text.text(), previous_title, MB_YESNO | MB_ICONQUESTION)) terminate_run();
        return false;
    }
    text.append("Do you want to copy over the previous installation?  "
                "This will not erase any of your working files and is generally safe.");
    if (ask(text.text(), previous_title, MB_YESNO | MB_ICONQUESTION)) return true;
    String twice = formatted("You cannot install %s twice.\r\n\r\nDo you want to uninstall it?", product_name.text());
    if (!ask(twice.text(), previous_title, MB_YESNO | MB_ICONHAND)) terminate_run();
    return false;
}

CORE_NORETURN void give_up(const InstallSession& session, const String& location) {
    report_completion("The previous installation could not be uninstalled.\r\n\r\n", location, session.header.flags,
                      false, false, session.header.version_text.text());
    terminate_run();
}

void remove_previous(const InstallSession& session, const String& location) {
    close_key();
    if (!uninstall_product()) {
        if (automatic) give_up(session, location);
        if (!ask("The previous installation could not be uninstalled.\r\n\r\n"
                 "Are you sure you want to proceed with the installation?",
                 "Uninstallation Failed", MB_YESNO | MB_ICONQUESTION)) {
            give_up(session, location);
        }
    }
    open_software_key_or_fail(uninstall_key_path().text(), false);
}

}  // namespace

String uninstall_key_path() { return join_path(uninstall_key_root, product_name.text()); }

void settle_header_settings(InstallSession& session) {
    ArchiveHeader& header = session.header;
    if (header.flags & header_flag::uninstall_support) {
        session.shared_path = join_path(common_files_path().text(), header.publisher.text());
        create_directory_or_fail(session.shared_path.text());
        open_software_key_or_fail(uninstall_key_path().text(), false);
    }
    // The group always lies below the start menu's Programs folder.
    if (header.start_menu_folder.is_empty()) {
        if (!header.publisher.is_empty()) header.start_menu_folder = header.publisher + "\\";
        header.start_menu_folder.append(product_name);
    }
    header.start_menu_folder.insert(0, "Programs\\");
    if (header.default_directory.is_empty()) header.default_directory = product_name;
    make_absolute(header.default_directory, program_files_path().text());
}

void check_previous_installation(InstallSession& session) {
    session.reinstall = false;
    String location = get_string("InstallLocation", "");
    if (location.is_empty() || !directory_exists(location.text())) return;
    bool copy_over = automatic ? !(session.header.flags & header_flag::must_uninstall_first)
                               : ask_about_previous(session, location);
    if (copy_over) {
        session.reinstall = true;
        session.directory = location;
        return;
    }
    remove_previous(session, location);
}

bool accept_chosen_directory(String& directory) {
    directory.trim();
    if (directory.is_empty()) return false;
    if (!has_drive_root(directory.text())) {
        error_box("You must specify a complete drive and path such as \"c:\\work\".\r\n");
        return false;
    }
    char letter = drive_letter_of(directory.text());
    if (!drive_exists(letter)) {
        error_box("Drive %c: is not available.\r\n", letter);
        return false;
    }
    if (directory.length() <= 3) {
        error_box("You cannot install to a root directory.\r\n");
        return false;
    }
    if (directory_exists(directory.text())) {
        String question = formatted("The directory %s already exists.\r\n\r\nAre you sure you want to proceed?",
                                    directory.text());
        return ask(question.text(), choosing_title, MB_YESNO | MB_ICONQUESTION);
    }
    String question =
        formatted("The directory %s does not exist.\r\n\r\nDo you want to create it?", directory.text());
    if (!ask(question.text(), choosing_title, MB_YESNO | MB_ICONQUESTION)) return false;
    if (!create_directory(directory.text())) {
        error_box("Unable to create directory: %s\r\n", directory.text());
        return false;
    }
    return true;
}

void choose_installation_directory(InstallSession& session) {
    if (session.directory.is_empty()) session.directory = session.header.default_directory;
    if (automatic || !(session.header.flags & header_flag::choose_directory)) {
        create_directory_or_fail(session.directory.text());
        return;
    }
    String prompt = formatted("Choose the directory where %s should be installed.", product_name.text());
    do {
        if (!browse_for_directory(session.directory, prompt.text())) terminate_run();
    } while (!accept_chosen_directory(session.directory));
}

void run_pre_installation(InstallSession& session) {
    settle_header_settings(session);
    if (!automatic) {
        show_welcome(session.header);
        show_text(licence_dialog_name, session.header.licence_text);
        show_text(readme_dialog_name, session.header.readme_text);
    }
    if (session.header.flags & header_flag::uninstall_support) check_previous_installation(session);
    if (!session.reinstall) choose_installation_directory(session);
    run_batch(session.directory.text(), session.header.batch_before, session.shared_path.text());
}
