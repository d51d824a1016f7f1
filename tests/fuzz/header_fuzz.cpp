// The header reader on arbitrary bytes, both ways it meets them: a whole
// file behind read_archive_header (the PE header's certificate table that
// may end the archive, trailer, magic, length, key and block), and, for half
// the inputs, a plain header sealed with its own checksum, so that the
// fuzzer reaches the field readers behind the check that random bytes almost
// never pass. A sound header must have read within its block;
// a text's length must match what it holds. The buffers live outside the
// jump's reach, so that a corrupt block's report leaks nothing of ours, except
// the header block that read_archive_header itself holds: the installer's
// report ends the process there, so the jump that stands in for it skips that
// block's destructor. Leak checks are off across that one call only; the
// sealed half runs the same block decoding and field readers with them on.
#include "archive/codec.h"
#include "archive/container.h"
#include "archive/memory_input.h"
#include "tests/fuzz/fuzz_fatal.h"

#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include <sanitizer/lsan_interface.h>

namespace {

void check_text(const String& text) {
    if (text.length() < 0 || (text.length() > 0 && strlen(text.text()) != static_cast<size_t>(text.length()))) abort();
}

void check_header(const ArchiveHeader& header) {
    for (const String* text : {&header.publisher, &header.product_name, &header.start_menu_folder,
                               &header.default_directory, &header.version_text, &header.product_registry,
                               &header.welcome_text, &header.licence_text, &header.readme_text, &header.batch_before,
                               &header.batch_after, &header.batch_last, &header.uninstall_batch1,
                               &header.uninstall_batch2}) {
        check_text(*text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    ArchiveHeader header;
    i32 length = static_cast<i32>(size - 1);
    ByteBuffer block(length);
    if (length) memcpy(block.data(), data + 1, static_cast<size_t>(length));
    jmp_buf back;
    volatile bool leaks_unchecked = false;
    // A block whose tokens are corrupt ends in the codec's report, as in the
    // installer.
    if (setjmp(back)) {
        if (leaks_unchecked) __lsan_enable();
        return 0;
    }
    fatal_return = &back;
    if (data[0] & 1) {
        u32 key = buffer_checksum(block);
        bool block_magic_first = length >= 4 && load_le32(data + 1) == block_magic;
        xor_scramble_dword(block, key);
        // Sealed with its own checksum, a plain header passes, unless its
        // first word makes it a block, which is then decoded instead.
        if (decode_header_block(block, key)) {
            read_header_fields(block, header);
            check_header(header);
        } else if (!block_magic_first) {
            abort();
        }
    } else {
        MemoryInput input(data + 1, static_cast<i32>(size - 1));
        i32 offset = 0;
        i32 end = 0;
        leaks_unchecked = true;
        __lsan_disable();
        i32 result = read_archive_header(input, offset, end, header);
        __lsan_enable();
        leaks_unchecked = false;
        if (end < 0 || end > input.size()) abort();
        if (result == archive_loaded) {
            if (offset < 0 || offset >= end || input.tell() > end) abort();
            check_header(header);
        }
        // The image's PE fields, read in place and cleared in the
        // uninstaller's copy, on the same bytes.
        image_checksum(block.data(), block.size());
        clear_absent_certificate(block.data(), block.size());
    }
    fatal_return = nullptr;
    return 0;
}
