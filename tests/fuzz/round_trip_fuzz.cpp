// The compressor and the decoder together: whatever the bytes, either level
// must make a block that decodes to them and is no larger than their stored
// form. The first input byte picks the level.
#include "archive/codec.h"
#include "builder/compressor.h"
#include "tests/fuzz/fuzz_fatal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    CompressionLevel level = data[0] & 1 ? CompressionLevel::best : CompressionLevel::fast;
    const u8* input = data + 1;
    size_t length = size - 1;
    std::vector<u8> block = compress_block(input, length, level);
    if (block.size() > stored_block_size(length)) {
        fprintf(stderr, "block of %zu bytes for %zu input bytes\n", block.size(), length);
        abort();
    }
    u8* decoded = block.data();
    i32 decoded_length = static_cast<i32>(block.size());
    // A report from the decoder is a bug here: fatal_return stays null.
    if (!decode_block(&decoded, &decoded_length) || static_cast<size_t>(decoded_length) != length ||
        (length > 0 && memcmp(decoded, input, length) != 0)) {
        fprintf(stderr, "the block does not decode to its input\n");
        abort();
    }
    core_free(decoded);
    return 0;
}
