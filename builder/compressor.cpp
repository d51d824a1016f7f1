// Level dispatch, the stored form, and the encoder's side of the checksum and
// the scramblings. The stored form caps every block: a parser's result is
// only kept when it is smaller, so incompressible input costs its own length
// plus the magic and 3 bytes per 65,535.
#include "builder/compressor.h"

#include "archive/codec.h"
#include "builder/block_writer.h"
#include "builder/parsers.h"

#include <stdexcept>

namespace {

i32 checked_length(size_t length) {
    if (length > max_block_input) throw std::length_error("more bytes than one block can hold");
    return static_cast<i32>(length);
}

}  // namespace

size_t stored_block_size(size_t length) {
    return block_magic_size + (length == 0 ? long_literal_header : BlockWriter::literal_cost(length));
}

std::vector<u8> store_block(const u8* data, size_t length) {
    checked_length(length);
    BlockWriter writer;
    writer.literals(data, length);
    return writer.finish();
}

std::vector<u8> compress_block(const u8* data, size_t length, CompressionLevel level, unsigned threads,
                               std::atomic<size_t>* done) {
    checked_length(length);
    std::vector<u8> block = level == CompressionLevel::best
                                ? compress_best(data, length, best_chunk_size, best_segment_size, threads, done)
                                : compress_fast(data, length);
    if (done && level == CompressionLevel::fast) *done += length;
    if (block.size() > stored_block_size(length)) {
        std::vector<u8>().swap(block);
        return store_block(data, length);
    }
    return block;
}

u32 checksum_of(const std::vector<u8>& bytes) { return block_checksum(bytes.data(), checked_length(bytes.size())); }

void scramble_dword(std::vector<u8>& bytes, u32 key) {
    xor_scramble_dword_range(bytes.data(), checked_length(bytes.size()), key);
}

void scramble_byte(std::vector<u8>& bytes, u8 key) {
    xor_scramble_byte_range(bytes.data(), checked_length(bytes.size()), key);
}
