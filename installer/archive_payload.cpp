// Gathering the payload from the executable and from the disk files beside
// it, decoding it, and reading its records, each failure ending the run with
// its report. The progress bar runs from 5 to 45 over the gathering; the
// product of the bytes gathered and 40 leaves the 32-bit range for payloads
// above some 53 MB, which scale() allows for.
#include "installer/installer.h"

namespace {

i32 gathering_percent(i32 done, i32 payload_size) {
    if (payload_size <= 0) return 5;
    return 5 + scale(done, payload_size, 40);
}

String disk_request(i32 disk, const String& path) {
    char drive = drive_letter_of(path.text());
    // A network path has no drive to name.
    if (!drive) return formatted("Please insert disk #%d.", disk);
    return formatted("Please insert disk #%d into drive %c:.", disk, drive);
}

// Asks for the disk until its file opens; the user may abort the run.
void open_disk(File& archive_file, const String& path, i32 disk) {
    while (!archive_file.open_for_reading(path.text(), true)) {
        String request = disk_request(disk, path);
        if (show_box(request.text(), "Insert Disk", MB_OKCANCEL | MB_ICONQUESTION) != IDOK &&
            show_box("Do you want to abort the installation?", "Abort", MB_YESNO | MB_ICONQUESTION) == IDYES) {
            terminate_run();
        }
    }
}

}  // namespace

void gather_payload(File& archive_file, i32 archive_end, i32 payload_size, ByteBuffer& payload) {
    i32 disk = 1;
    i32 done = 0;
    i32 chunk = archive_end - archive_file.tell() - trailer_size;
    for (;;) {
        set_progress(gathering_percent(done, payload_size));
        if (chunk > 0) {
            if (!archive_file.read(payload.append_space(chunk), chunk)) corrupt_archive(corrupt::payload_unreadable);
            done += chunk;
        }
        // Only bytes just read end the gathering, so that an executable
        // without payload bytes goes on to its disks; an archive without any
        // payload asks for none.
        if (done >= payload_size && (chunk > 0 || payload_size <= 0)) break;
        ++disk;
        String path = join_path(program_directory().text(), formatted("Disk%d.SEA", disk).text());
        open_disk(archive_file, path, disk);
        chunk = archive_file.size();
        if (chunk == 0) fatal_error(empty_disk_format, path.text());
    }
    archive_file.close();
}

void decode_payload(ByteBuffer& payload, u32 flags) {
    if (flags & header_flag::compressed_payload) {
        set_progress(50);
        set_status("Decompressing...");
    }
    if (!unpack_payload(payload, flags)) corrupt_archive(corrupt::payload_block);
}

void read_file_entry(ByteBuffer& payload, FileEntry& out) {
    i32 code = parse_file_entry(payload, out);
    if (code) corrupt_archive(code);
}
