// Extraction and storing: the uninstaller copy, the payload, every record
// written with its date, fonts registered with the system and the shared
// files counted in the system's reference counts. Failures of single files
// go to the problem list and the next record follows; a damaged archive or a
// directory that cannot be made ends the run. No failure leaves a file cut
// short behind, and shared files and fonts are never cut short in place even
// by a crash: a later run compares their dates and may keep what it finds.
#include "installer/installer.h"

namespace {

i32 storing_percent(i32 index, i32 count) { return 55 + scale(index, count, 30); }

// What the system learns from AddFontResourceA lasts until the user logs
// off; the Fonts value makes the font stay after a restart. Another
// product's font of the same label is left alone.
void register_font_value(const String& label, const String& name) {
    if (!open_key(HKEY_LOCAL_MACHINE, fonts_key)) return;
    String present = get_string(label.text(), "");
    if (present.is_empty() || present.compare_no_case(name.text()) == 0) set_string(label.text(), name.text(), 0);
    close_key();
}

bool install_font(InstallSession& session, const FileEntry& entry) {
    if (!AddFontResourceA(entry.name.text())) {
        String text = "Failed to install font: " + entry.name;
        append_problem(session, text);
        show_error(text.text());
        return false;
    }
    register_font_value(entry.label, entry.name);
    session.font_list.append_format("\"%s\" \"%s\" ", entry.label.text(), entry.name.text());
    session.fonts_installed = true;
    return true;
}

// The destination of a record, or empty when the record is to be skipped.
String destination_of(InstallSession& session, const FileEntry& entry) {
    String destination;
    switch (entry.kind) {
        case kind_program:
        case kind_startup_program:
            destination = join_path(session.directory.text(), entry.name.text());
            if (entry.shortcut_flags & (shortcut_desktop | shortcut_start_menu)) {
                ShortcutEntry* shortcut = session.shortcut_list.add(ShortcutEntry());
                shortcut->on_desktop = (entry.shortcut_flags & shortcut_desktop) != 0;
                shortcut->in_start_menu = (entry.shortcut_flags & shortcut_start_menu) != 0;
                shortcut->in_startup = entry.kind == kind_startup_program;
                shortcut->target = destination;
                shortcut->label = entry.label;
            }
            return destination;
        case kind_shared:
            destination = join_path(session.shared_path.text(), entry.name.text());
            // Counted before the question: a kept newer copy is still this product's.
            session.shared_names.add(entry.name);
            if (!ask_replace_newer(destination.text(), entry.date, "shared")) return String();
            return destination;
        case kind_font:
            destination = join_path(fonts_path().text(), entry.name.text());
            if (!ask_replace_newer(destination.text(), entry.date, "font")) return String();
            return destination;
    }
    corrupt_archive(corrupt::unknown_kind);
}

void store_entry(InstallSession& session, const FileEntry& entry) {
    String destination = destination_of(session, entry);
    if (destination.is_empty()) return;
    String directory = directory_of(destination.text());
    if (!create_directory(directory.text())) {
        fatal_error("Unable to create directory:\r\n%s\r\n\r\nThe installation program must abort.", directory.text());
    }
    bool stored = entry.kind == kind_shared || entry.kind == kind_font
                      ? store_whole_file(destination.text(), entry.content, entry.date, session.problems)
                      : store_file(destination.text(), entry.content, entry.date, session.problems);
    if (!stored) return;
    if (entry.kind == kind_font && !install_font(session, entry)) return;
    if (!(session.header.flags & header_flag::quiet_file_list))
        set_status("%s -> %s", entry.name.text(), destination.text());
}

// Gives back one reference for every name of a previous installation's list.
void take_back_references(String old_list, const String& shared_path) {
    while (!old_list.is_empty()) {
        String piece = old_list.take_quoted(0);
        if (piece.is_empty()) break;
        piece = shared_file_path(piece, shared_path.text());
        old_list.remove_leading(';');
        u32 count = get_dword(piece.text(), 0);
        if (count <= 1) {
            delete_value(piece.text());
        } else {
            set_dword(piece.text(), count - 1, 0);
        }
    }
}

// The name beside the target under which a shared file or font is written
// until it is whole and dated.
const char whole_file_suffix[] = ".part";

// Writes content to written_path and dates it; the problem texts name
// reported_path, the file the user knows.
bool write_dated_file(const char* written_path, const char* reported_path, const ByteBuffer& content,
                      const DateTime& date, String& problems) {
    File file;
    if (!file.create(written_path, true)) {
        problems.append_format("Unable to create file: %s\r\n\r\n", reported_path);
        return false;
    }
    if (!file.write(content.data(), content.size())) {
        problems.append_format("Unable to write file: %s\r\n\r\n", reported_path);
        // A file cut short would carry the time of writing as its date, and a
        // later run would take it for a newer copy and keep it.
        file.close();
        delete_file(written_path);
        return false;
    }
    if (date.is_set()) {
        if (!file.open(written_path, false, true, false)) {
            problems.append_format("Unable to reopen file: %s\r\n\r\n", reported_path);
            return false;
        }
        if (!file.set_date(date)) {
            String date_text = date.format();
            problems.append_format("Failed to set file date:\r\n%s\r\n%s\r\n\r\n", reported_path, date_text.text());
        }
    }
    file.close();
    return true;
}

}  // namespace

String shared_file_path(const String& name, const char* shared_path) {
    if (name.find_char(':') >= 0 || name.starts_with_char('\\')) return name;
    return join_path(shared_path, name.text());
}

bool store_file(const char* path, const ByteBuffer& content, const DateTime& date, String& problems) {
    if (content.size() < 0) corrupt_archive(corrupt::negative_content_size);
    return write_dated_file(path, path, content, date, problems);
}

bool store_whole_file(const char* path, const ByteBuffer& content, const DateTime& date, String& problems) {
    if (content.size() < 0) corrupt_archive(corrupt::negative_content_size);
    String written = String(path) + whole_file_suffix;
    if (!write_dated_file(written.text(), path, content, date, problems)) {
        delete_file(written.text());
        return false;
    }
    // A target that another program holds cannot be replaced, as it could
    // not be created over.
    if (!replace_file(written.text(), path)) {
        delete_file(written.text());
        problems.append_format("Unable to create file: %s\r\n\r\n", path);
        return false;
    }
    return true;
}

void install_uninstaller(InstallSession& session) {
    const ArchiveHeader& header = session.header;
    session.uninstaller_path = join_path(session.directory.text(), uninstaller_file_name);
    ByteBuffer image;
    if (!session.archive_file.read_range(image, 0, session.archive_offset)) corrupt_archive(corrupt::image_unreadable);
    if (image_checksum(image.data(), image.size()) != header.stub_checksum) corrupt_archive(corrupt::image_checksum);
    // A signed installer's security entry names a table the copy does not carry.
    clear_absent_certificate(image.data(), image.size());
    {
        // A tie keeps the uninstaller that is there; only an older one goes.
        File existing;
        if (existing.open_for_reading(session.uninstaller_path.text(), false) &&
            !existing.get_date().is_before(header.stub_date)) {
            return;
        }
    }
    store_file(session.uninstaller_path.text(), image, header.stub_date, session.problems);
}

void store_entries(InstallSession& session, ByteBuffer& payload) {
    i32 count = session.header.file_count;
    for (i32 i = 0; i < count; ++i) {
        set_progress(storing_percent(i, count));
        FileEntry entry;
        read_file_entry(payload, entry);
        store_entry(session, entry);
    }
}

void count_shared_files(InstallSession& session) {
    String old_list = get_string("SharedFiles", "");
    if (!open_software_key(shared_dlls_key, false)) {
        session.problems.append("REGISTRY ERROR:  Unable to increment common file reference counts.\r\n\r\n");
        return;
    }
    if (session.reinstall) take_back_references(old_list, session.shared_path);
    String list;
    List<String>::Cursor cursor;
    for (String* name = session.shared_names.first(cursor); name; name = session.shared_names.next(cursor)) {
        String path = join_path(session.shared_path.text(), name->text());
        set_dword(path.text(), get_dword(path.text(), 0) + 1, 0);
        if (!list.is_empty()) list.append(';');
        list.append_format("\"%s\"", name->text());
    }
    close_key();
    set_string("SharedFiles", list.text(), reg_delete_when_empty);
}

void extract_and_store(InstallSession& session) {
    bool uninstall_support = (session.header.flags & header_flag::uninstall_support) != 0;
    open_progress_dialog();
    set_status("Installing uninstaller...");
    if (uninstall_support) install_uninstaller(session);
    set_status("Extracting files...");
    ByteBuffer payload;
    gather_payload(session.archive_file, session.archive_end, session.header.payload_size, payload);
    decode_payload(payload, session.header.flags);
    set_status("Storing files...");
    store_entries(session, payload);
    if (session.fonts_installed) broadcast_font_change();
    set_progress(87);
    if (uninstall_support) count_shared_files(session);
    set_progress(90);
}
