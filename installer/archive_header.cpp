// Loading the archive's header from the running executable: the container
// checks of the archive layer over the open File, turned into the run's
// fatal reports, and the two settings the header makes at once (automatic
// mode, and the product's name unless /n: gave one).
#include "installer/installer.h"

void load_archive_header(File& archive_file, i32& archive_offset, i32& archive_end, ArchiveHeader& header) {
    i32 result = read_archive_header(archive_file, archive_offset, archive_end, header);
    if (result == archive_absent) fatal_error("%s", no_archive_text);
    if (result != archive_loaded) corrupt_archive(result);
    if (header.flags & header_flag::automatic) automatic = true;
    if (product_name.is_empty()) product_name = header.product_name;
}
