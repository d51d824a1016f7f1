// decode_block on arbitrary bytes. The input is copied into a heap block of
// exactly its size, so that AddressSanitizer sees a read one byte too far.
// Half the inputs get the block magic in front, so that the fuzzer spends its
// time on tokens. Every outcome is checked against a slow decoder written
// from the format alone: the same bytes on success, the same report
// otherwise.
#include "archive/codec.h"
#include "tests/fuzz/fuzz_fatal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// Returns "" and the decoded bytes, or the report the decoder must give.
std::string slow_decode(const std::vector<u8>& block, std::vector<u8>& out) {
    size_t end = block.size();
    size_t pos = 4;
    char report[128];
    while (pos < end) {
        int code = static_cast<signed char>(block[pos++]);
        if (code >= 0) {
            size_t count = static_cast<size_t>(code);
            if (code == 0) {
                if (end - pos < 2) return snprintf(report, sizeof report, "Decompress error 2 b=%zu max=%zu", pos + 2, end), report;
                count = block[pos] | block[pos + 1] << 8;
                pos += 2;
            }
            if (end - pos < count) return snprintf(report, sizeof report, "Decompress error 2 b=%zu max=%zu", pos + count, end), report;
            out.insert(out.end(), block.begin() + pos, block.begin() + pos + count);
            pos += count;
        } else {
            if (end - pos < 2) return snprintf(report, sizeof report, "Decompress error 2 b=%zu max=%zu", pos + 2, end), report;
            if (code == -128) {
                out.insert(out.end(), block[pos + 1] + 6u, block[pos]);
            } else {
                size_t distance = (block[pos] | block[pos + 1] << 8) + 4u;
                size_t length = static_cast<size_t>(4 - code);
                if (distance > out.size() || length > distance) {
                    snprintf(report, sizeof report, "Decompress error 1: %zu %zu %d", out.size(), distance, -code);
                    return report;
                }
                for (size_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
            }
            pos += 2;
        }
    }
    return "";
}

void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "decode_block disagrees with the slow decoder: %s\n", what);
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    std::vector<u8> bytes;
    if (data[0] & 1) bytes.assign(data + 1, data + size);
    else {
        bytes = {0xA0, 0x2B, 0xC7, 0x9E};
        bytes.insert(bytes.end(), data + 1, data + size);
    }
    u8* block = static_cast<u8*>(malloc(bytes.size() ? bytes.size() : 1));
    if (!bytes.empty()) memcpy(block, bytes.data(), bytes.size());
    u8* decoded = block;
    i32 length = static_cast<i32>(bytes.size());

    bool is_block = bytes.size() >= 6 && memcmp(bytes.data(), "\xA0\x2B\xC7\x9E", 4) == 0;
    std::vector<u8> expected;
    std::string report = is_block ? slow_decode(bytes, expected) : "";

    jmp_buf jump;
    fatal_return = &jump;
    if (setjmp(jump) == 0) {
        bool result = decode_block(&decoded, &length);
        fatal_return = nullptr;
        check(result == is_block, "whether it is a block");
        check(report.empty(), "decoded what should be reported");
        if (result) {
            check(static_cast<size_t>(length) == expected.size(), "decoded length");
            check(length == 0 || memcmp(decoded, expected.data(), expected.size()) == 0, "decoded bytes");
            check(length > 0 || decoded == nullptr, "an empty result holds no block");
            core_free(decoded);
        } else {
            check(decoded == block && length == static_cast<i32>(bytes.size()), "a refusal changed its arguments");
        }
    } else {
        check(report == fatal_text, "the report");
    }
    free(block);
    return 0;
}
