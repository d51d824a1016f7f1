// Drives the installer's payload readers over an installer, since an
// installation does not store its files yet:
//   payload INSTALLER [NAME]
// It loads the installer's header, gathers the payload from it and from the
// disk files beside this program (so it is placed beside the installer),
// decodes it and reads every record, checking each kind as the storing
// does. A sound payload ends in the box "Payload": first the two settings
// the header makes (the product's name, which a NAME given as /n: would give
// keeps, and automatic mode), then one line per record; exit code 0. Every
// damage ends in the installer's own report.
#include "installer/installer.h"

int WINAPI WinMain(HINSTANCE module_instance, HINSTANCE, LPSTR command_text, int) {
    String line(command_text);
    String path = line.take_argument();
    product_name = line.take_argument();
    start_up(module_instance);
    InstallSession session;
    if (!session.archive_file.open_for_reading(path.text(), false)) fatal_error("cannot open %s", path.text());
    load_archive_header(session.archive_file, session.archive_offset, session.archive_end, session.header);
    ByteBuffer payload;
    gather_payload(session.archive_file, session.archive_end, session.header.payload_size, payload);
    decode_payload(payload, session.header.flags);
    String text;
    text.format("product \"%s\", automatic %s\n%d records", product_name.text(), automatic ? "yes" : "no",
                session.header.file_count);
    for (i32 i = 0; i < session.header.file_count; ++i) {
        FileEntry entry;
        read_file_entry(payload, entry);
        if (!is_known_kind(entry.kind)) corrupt_archive(corrupt::unknown_kind);
        String date = entry.date.format();
        text.append_format("\n%s %s %d bytes, shortcuts %u, %s, \"%s\"", kind_name(entry.kind), entry.name.text(),
                           entry.content.size(), entry.shortcut_flags, date.text(), entry.label.text());
    }
    MessageBoxA(background_window, text.text(), "Payload", MB_OK);
    ExitProcess(0);
}
