// Token encoding. The limits are asserted rather than clamped: a parser that
// asks for an impossible token has a bug that must not produce a block the
// installer would reject at the user's machine.
#include "builder/block_writer.h"

#include <stdexcept>

namespace {

void require(bool condition, const char* what) {
    if (!condition) throw std::logic_error(what);
}

}  // namespace

BlockWriter::BlockWriter(size_t expected) {
    block_.reserve(expected + block_magic_size);
    block_.resize(block_magic_size);
    store_le32(block_.data(), block_magic);
}

void BlockWriter::short_literal(const u8* bytes, int n) {
    require(n >= 1 && n <= short_literal_max, "short literal length");
    block_.push_back(static_cast<u8>(n));
    append(bytes, static_cast<size_t>(n));
}

void BlockWriter::long_literal(const u8* bytes, int n) {
    require(n >= 0 && n <= long_literal_max, "long literal length");
    const u8 token[3] = {code_long_literal, static_cast<u8>(n), static_cast<u8>(n >> 8)};
    append(token, 3);
    append(bytes, static_cast<size_t>(n));
}

void BlockWriter::literals(const u8* bytes, size_t n) {
    while (n > 0) {
        if (n >= 2 * short_literal_max + 1) {
            int chunk = n > static_cast<size_t>(long_literal_max) ? long_literal_max : static_cast<int>(n);
            long_literal(bytes, chunk);
            bytes += chunk;
            n -= chunk;
        } else {
            int chunk = n > static_cast<size_t>(short_literal_max) ? short_literal_max : static_cast<int>(n);
            short_literal(bytes, chunk);
            bytes += chunk;
            n -= chunk;
        }
    }
}

size_t BlockWriter::literal_cost(size_t n) {
    size_t cost = 0;
    while (n > 0) {
        size_t chunk;
        if (n >= 2 * short_literal_max + 1) {
            chunk = n > static_cast<size_t>(long_literal_max) ? long_literal_max : n;
            cost += long_literal_header;
        } else {
            chunk = n > static_cast<size_t>(short_literal_max) ? short_literal_max : n;
            cost += short_literal_header;
        }
        cost += chunk;
        n -= chunk;
    }
    return cost;
}

void BlockWriter::run(u8 value, int length) {
    require(length >= run_min && length <= run_max, "run length");
    const u8 token[3] = {code_run, value, static_cast<u8>(length - run_min)};
    append(token, 3);
}

void BlockWriter::match(int distance, int length) {
    require(length >= match_min && length <= match_max, "match length");
    require(distance >= length && distance <= distance_max, "match distance");
    const u8 token[3] = {static_cast<u8>(match_code_base - length), static_cast<u8>(distance - distance_bias),
                         static_cast<u8>((distance - distance_bias) >> 8)};
    append(token, 3);
}

std::vector<u8> BlockWriter::finish() {
    if (block_.size() == static_cast<size_t>(block_magic_size)) long_literal(nullptr, 0);
    std::vector<u8> out;
    out.swap(block_);
    return out;
}
