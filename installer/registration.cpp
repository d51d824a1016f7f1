// Shortcuts, the product's own registry keys and the uninstall information:
// the values from which the system lists the product and from which the
// uninstaller learns everything it has to remove. No failure here is fatal;
// each one goes to the problem list, and the run goes on.
#include "installer/installer.h"

String created_items;

namespace {

bool group_shortcut_made;
String uninstall_arguments;

void create_product_shortcuts(InstallSession& session, const ShortcutEntry& entry) {
    const char* directory = session.directory.text();
    const char* target = entry.target.text();
    bool failed = false;
    String link;
    if (entry.on_desktop) {
        if (create_desktop_shortcut(entry.label.text(), target, "", directory, &link)) {
            record_created_item(link.text());
        } else {
            failed = true;
        }
    }
    if (entry.in_start_menu) {
        String name = join_path(session.header.start_menu_folder.text(), entry.label.text());
        if (create_start_menu_shortcut(name.text(), target, "", directory, &link)) {
            record_created_item(link.text());
            group_shortcut_made = true;
        } else {
            failed = true;
        }
    }
    if (entry.in_startup) {
        link = join_path(startup_path().text(), entry.label.text());
        add_link_extension(link);
        if (create_shortcut(link, target, "", directory)) {
            record_created_item(link.text());
        } else {
            failed = true;
        }
    }
    if (failed) append_problem(session, "Unable to create shortcut: " + entry.label);
}

void create_uninstall_shortcuts(InstallSession& session) {
    String name = "Uninstall " + product_name;
    const char* uninstaller = session.uninstaller_path.text();
    if (group_shortcut_made) {
        String link;
        String group_name = join_path(session.header.start_menu_folder.text(), name.text());
        if (create_start_menu_shortcut(group_name.text(), uninstaller, uninstall_arguments.text(), "", &link)) {
            record_created_item(link.text());
        } else {
            String text = "Failed to create start menu uninstaller:\r\n" + link;
            append_problem(session, text);
            show_error(text.text());
        }
    }
    // Not recorded: it goes with the installation directory.
    String link = join_path(session.directory.text(), name.text());
    if (!create_shortcut(link, uninstaller, uninstall_arguments.text(), "")) {
        add_link_extension(link);
        error_box("Failed to create uninstall shortcut:\r\n%s", link.text());
    }
}

bool open_and_close(const char* path, bool current_user) {
    if (!open_software_key(path, current_user)) return false;
    close_key();
    return true;
}

void set_text_value(const char* name, const String& text, u32 flags) { set_string(name, text.text(), flags); }

}  // namespace

void append_problem(InstallSession& session, const String& text) {
    session.problems.append(text);
    session.problems.append("\r\n\r\n");
}

void record_created_item(const char* path) {
    if (!created_items.is_empty()) created_items.append(';');
    created_items.append_format("\"%s\"", path);
}

void create_shortcuts(InstallSession& session) {
    created_items.clear();
    group_shortcut_made = false;
    List<ShortcutEntry>::Cursor cursor;
    for (ShortcutEntry* entry = session.shortcut_list.first(cursor); entry; entry = session.shortcut_list.next(cursor))
        create_product_shortcuts(session, *entry);
    uninstall_arguments = formatted("/u:\"%s\"", product_name.text());
    if (session.header.flags & header_flag::uninstall_support) create_uninstall_shortcuts(session);
}

void prepare_registry(InstallSession& session) {
    const char* path = session.header.product_registry.text();
    bool machine = open_and_close(path, false);
    bool user = open_and_close(path, true);
    if (!machine || !user) session.problems.append_format("Failure creating registry keys: %s\r\n\r\n", path);
}

void store_uninstall_info(InstallSession& session) {
    const ArchiveHeader& header = session.header;
    const String& version = header.version_text;
    String uninstall_string = session.uninstaller_path + " " + uninstall_arguments;
    set_text_value("UninstallString", uninstall_string, 0);
    set_text_value("QuietUninstallString", session.uninstaller_path + " /a " + uninstall_arguments, 0);
    set_text_value("DisplayName", product_name, 0);
    set_text_value("InstallSource", session.self_path, 0);
    set_text_value("DisplayVersion", version, reg_delete_when_empty);
    set_text_value("Publisher", header.publisher, reg_delete_when_empty);
    set_text_value("InstallLocation", session.directory, 0);
    set_text_value("InstallDate", now_text(), 0);
    i32 dot = version.find_char('.');
    if (dot >= 0) {
        set_dword("VersionMajor", static_cast<u32>(version.to_int()), 0);
        set_dword("VersionMinor", static_cast<u32>(version.int_at(dot + 1)), 0);
    }
    set_text_value("ProductRegistry", header.product_registry, reg_delete_when_empty);
    set_text_value("ProductDeletions", created_items, reg_delete_when_empty);
    set_text_value("ProductStartMenu", header.start_menu_folder, reg_delete_when_empty);
    set_text_value("SharedPath", session.shared_path, reg_delete_when_empty);
    set_text_value("ProductFonts", session.font_list, reg_delete_when_empty);
    set_dword("ProductFlags", header.flags, 0);
    set_text_value("UninstallBatch1", header.uninstall_batch1, reg_delete_when_empty);
    set_text_value("UninstallBatch2", header.uninstall_batch2, reg_delete_when_empty);
    // Read back: a key that could not be written at all shows here too.
    String stored = get_string("UninstallString", "");
    if (stored.length() != uninstall_string.length() || stored.find(uninstall_string.text()) != 0) {
        session.problems.append(
            "Unable to register the uninstall information.  Uninstall will not work properly.\r\n\r\n");
    }
    close_key();
}

void register_installation(InstallSession& session) {
    set_status("Creating shortcuts...");
    create_shortcuts(session);
    set_progress(95);
    if (!session.header.product_registry.is_empty()) {
        set_status("Preparing registry...");
        prepare_registry(session);
    }
    if (session.header.flags & header_flag::uninstall_support) {
        set_status("Storing uninstall info...");
        store_uninstall_info(session);
    }
}
