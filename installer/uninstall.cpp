// The uninstaller: removes one installed product by its name, using only
// what the installation stored under the product's uninstall key. Every list
// value is rewritten with what remains before the key itself goes, and the
// key goes only when nothing remained, so a failed attempt can be run again
// and continues where it stopped.
#include "installer/installer.h"

namespace {

struct Removal {
    String location;
    String shared_path;
    u32 flags = 0;
    String problems;
    String kept_folder;  // a system folder whose tree was left alone
};

bool ask(const char* text, const char* title) {
    return show_box(text, title, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void confirm_uninstall(const Removal& removal) {
    if (automatic) return;
    String question = formatted(
        "This will uninstall %s.\r\n\r\nWARNING: you should first move any personal files located in:\r\n%s\r\n\r\n"
        "This directory will be deleted.  Do you wish to proceed?",
        product_name.text(), removal.location.text());
    if (!ask(question.text(), "Uninstall")) terminate_run();
}

void run_first_batch(const Removal& removal) {
    String batch = get_string("UninstallBatch1", "");
    if (batch.is_empty()) return;
    if (!run_batch(removal.location.text(), batch, removal.shared_path.text()))
        fatal_error("Unable to run the pre-uninstallation batch.  The uninstaller must abort.");
    delete_value("UninstallBatch1");
}

// The font's value in the system's Fonts key goes only while it names this
// file: another product may have taken the label since.
void forget_font_value(const String& label, const String& file) {
    if (!open_key(HKEY_LOCAL_MACHINE, fonts_key)) return;
    String present = get_string(label.text(), "");
    if (!present.is_empty() && present.compare_no_case(file.text()) == 0) delete_value(label.text());
    close_key();
}

// True when the font is gone. A font that the system refuses to unload but
// whose file can be deleted was loaded by nobody (after a restart, say).
bool remove_font(const String& label, const String& file) {
    String path = join_path(fonts_path().text(), file.text());
    bool unloaded = RemoveFontResourceA(file.text()) != 0;
    bool deleted = delete_file(path.text());
    if (!unloaded && !deleted) return false;
    forget_font_value(label, file);
    return true;
}

void remove_fonts(Removal& removal) {
    String list = get_string("ProductFonts", "");
    if (list.is_empty()) return;
    String remaining;
    bool removed_any = false;
    for (;;) {
        list.trim_left();
        String label = list.take_quoted(0);
        if (label.is_empty()) break;
        list.trim_left();
        String file = list.take_quoted(0);
        if (file.is_empty()) break;
        if (!automatic && (removal.flags & header_flag::confirm_font_removal)) {
            String question = formatted("Do you want to delete the font '%s'?", label.text());
            if (!ask(question.text(), "Delete Font?")) continue;
        }
        if (remove_font(label, file)) {
            removed_any = true;
        } else {
            removal.problems.append_format("Failed to remove font %s\r\n", file.text());
            remaining.append_format("\"%s\" \"%s\" ", label.text(), file.text());
        }
    }
    set_string("ProductFonts", remaining.text(), 0);
    if (removed_any) broadcast_font_change();
}

void remove_shortcuts(Removal& removal) {
    created_items.clear();
    String list = get_string("ProductDeletions", "");
    for (;;) {
        String path = list.take_quoted(0);
        if (path.is_empty()) break;
        list.remove_leading(';');
        if (!file_exists(path.text()) || delete_file(path.text())) continue;
        removal.problems.append_format("Unable to delete \"%s\"\r\n", path.text());
        record_created_item(path.text());
    }
    set_string("ProductDeletions", created_items.text(), 0);
}

void remove_start_menu_group() {
    String group = get_string("ProductStartMenu", "");
    if (!group.starts_with("Programs\\")) return;
    String folder = join_path(start_menu_path().text(), group.text());
    for (int level = 0; level < 20; ++level) {
        if (!remove_directory(folder)) break;
        if (!remove_file_name(folder)) break;
    }
}

// The folders of a shared name (lib\common.txt) that its deletion emptied,
// up to the shared folder, which goes later if it is empty too.
void remove_emptied_folders(String path, const String& shared_path) {
    String below = shared_path + "\\";
    while (remove_file_name(path) && path.length() > below.length()) {
        String head;
        path.substring(head, below.length());
        if (head.compare_no_case(below.text()) != 0 || !remove_directory(path)) break;
    }
}

void offer_shared_file(const String& path, const String& shared_path) {
    if (!file_exists(path.text())) return;
    if (!automatic) {
        String question = formatted(
            "The following shared file is no longer used:\r\n%s\r\n\r\nDo you want to delete this file?", path.text());
        if (!ask(question.text(), "Delete shared file?")) return;
    }
    if (delete_file(path.text())) remove_emptied_folders(path, shared_path);
}

void release_shared_files(Removal& removal) {
    String list = get_string("SharedFiles", "");
    if (list.is_empty()) return;
    if (!open_software_key(shared_dlls_key, false)) {
        removal.problems.append("REGISTRY ERROR: Unable to decrement common file reference counts.\r\n\r\n");
        return;
    }
    for (;;) {
        String path = list.take_quoted(0);
        if (path.is_empty()) break;
        path = shared_file_path(path, removal.shared_path.text());
        list.remove_leading(';');
        u32 count = get_dword(path.text(), 0);
        if (count > 0) {
            set_dword(path.text(), count - 1, reg_delete_when_empty);
            if (count - 1 > 0) continue;
        }
        offer_shared_file(path, removal.shared_path);
    }
    close_key();
    // Every reference is given back now, whatever happens to the rest: a
    // second attempt after a later failure must not lower the counts again,
    // which would take the file away from the products still using it.
    delete_value("SharedFiles");
}

void remove_registry_path(String path, bool current_user) {
    for (int level = 0; level < 20 && !path.is_empty(); ++level) {
        if (!delete_software_key(path.text(), current_user, level > 0)) break;
        if (!remove_file_name(path)) break;
    }
}

void remove_product_keys() {
    String path = get_string("ProductRegistry", "");
    if (path.is_empty()) return;
    remove_registry_path(path, false);
    remove_registry_path(path, true);
    delete_value("ProductRegistry");
}

void remove_installation_folder(Removal& removal) {
    // A location without a drive would be taken relative to wherever the
    // uninstaller runs.
    if (!has_drive_root(removal.location.text())) return;
    if (is_protected_folder(removal.location.text())) {
        removal.kept_folder = removal.location;
        return;
    }
    delete_directory_tree(removal.location.text());
}

void unregister(Removal& removal) {
    String batch = get_string("UninstallBatch2", "");
    if (!batch.is_empty()) {
        // The installation directory is gone: the batch runs in its drive's root.
        String root = drive_root_of(removal.location.text());
        if (!run_batch(root.text(), batch, "")) {
            removal.problems.append("Failed to run the post-uninstallation batch.\r\n");
            return;
        }
    }
    delete_value("UninstallBatch2");
    if (!delete_software_subkey(uninstall_key_root, product_name.text(), false, false)) {
        removal.problems.append(
            "The application could not be unregistered in the operating system.\r\n"
            "\tIt will still be listed as an installed program.\r\n"
            "However, this should not cause any problems with your system or\r\n"
            "interfere with future installations.\r\n");
    }
}

bool report_removal(const Removal& removal) {
    String kept;
    if (!removal.kept_folder.is_empty())
        kept.format("\r\n\r\nThe folder %s was kept because it is a system folder.", removal.kept_folder.text());
    if (removal.problems.is_empty()) {
        if (!automatic) {
            String text = product_name + " has successfully been uninstalled." + kept;
            show_box(text.text(), "Uninstall Successful", MB_ICONASTERISK);
        }
        return true;
    }
    if (!automatic) {
        String text = formatted(
            "%s could not be completely uninstalled.\r\nThe following problems occurred:\r\n\r\n%s\r\n"
            "You can attempt to complete the uninstallation at another time.",
            product_name.text(), removal.problems.text());
        text.append(kept);
        show_box(text.text(), "Uninstall", MB_ICONEXCLAMATION);
    }
    return false;
}

}  // namespace

bool uninstall_product() {
    String key_path = uninstall_key_path();
    if (!software_key_exists(key_path.text(), false)) {
        error_box("No product named '%s' is installed.", product_name.text());
        return false;
    }
    if (!open_software_key(key_path.text(), false)) {
        error_box("Unable to access the uninstall information for:\r\n%s\r\n\r\nThe uninstallation cannot be performed.",
                  product_name.text());
        return false;
    }
    Removal removal;
    removal.flags = get_dword("ProductFlags", 0);
    if (removal.flags & header_flag::automatic_uninstall) automatic = true;
    removal.location = get_string("InstallLocation", "");
    confirm_uninstall(removal);
    removal.shared_path = get_string("SharedPath", "");
    run_first_batch(removal);
    remove_fonts(removal);
    remove_shortcuts(removal);
    remove_start_menu_group();
    release_shared_files(removal);
    remove_directory(removal.shared_path);
    remove_product_keys();
    remove_installation_folder(removal);
    if (removal.problems.is_empty()) unregister(removal);
    close_key();
    return report_removal(removal);
}
