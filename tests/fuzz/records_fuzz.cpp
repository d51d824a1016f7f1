// The record reader over a payload, as the installer reads it: unpack the
// payload (compressed or plain, by the first byte), then records one after
// the other until the payload ends or a record fails. Each record that fails
// only its checksum is read again with the checksum mended, so that the
// fuzzer reaches the date, the label and the name checks behind it. A record
// that is accepted must have a safe name and content of the length it read.
#include "archive/entry.h"
#include "archive/codec.h"
#include "tests/fuzz/fuzz_fatal.h"

#include <stdlib.h>
#include <string.h>

namespace {

void check_record(const FileEntry& entry) {
    if (!is_safe_entry_name(entry.name) || entry.name.is_empty()) abort();
    if (entry.content.size() < 0 || buffer_checksum(entry.content) != entry.checksum) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    ByteBuffer payload(static_cast<i32>(size - 1));
    if (size > 1) memcpy(payload.data(), data + 1, size - 1);
    u32 flags = (data[0] & 1) ? header_flag::compressed_payload : 0;
    jmp_buf back;
    if (setjmp(back)) return 0;
    fatal_return = &back;
    if (unpack_payload(payload, flags)) {
        for (int records = 0; records < 10000 && !payload.at_end(); ++records) {
            i32 start = payload.position();
            FileEntry entry;
            i32 code = parse_file_entry(payload, entry);
            if (code == corrupt::content_checksum) {
                // The checksum word lies just behind the content, when the
                // payload held it.
                i32 checksum_at = payload.position() - 4;
                if (checksum_at - entry.content.size() < start) break;
                u32 mended = buffer_checksum(entry.content);
                memcpy(payload.data() + checksum_at, &mended, 4);
                payload.set_position(start);
                FileEntry again;
                code = parse_file_entry(payload, again);
                if (code == 0) check_record(again);
            } else if (code == 0) {
                check_record(entry);
            }
            if (code) break;
        }
    }
    fatal_return = nullptr;
    return 0;
}
