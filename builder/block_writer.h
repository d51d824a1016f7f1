// Appends tokens to a block under construction. Each call writes exactly one
// kind of token (literals may take several tokens), with the limits of the
// format checked, so the parsers above need not know its byte layout.
#pragma once

#include "archive/block_format.h"

#include <stddef.h>

#include <vector>

class BlockWriter {
public:
    // expected: the block size to reserve room for.
    explicit BlockWriter(size_t expected = 0);

    // n bytes as literal tokens, split the cheapest way: one short token up
    // to 127, two up to 254, long tokens of up to 65,535 beyond.
    void literals(const u8* bytes, size_t n);
    void short_literal(const u8* bytes, int n);
    void long_literal(const u8* bytes, int n);
    void run(u8 value, int length);
    void match(int distance, int length);

    size_t size() const { return block_.size(); }
    // Finishes the block (an empty one gets an empty long literal) and hands
    // it over.
    std::vector<u8> finish();

    static size_t literal_cost(size_t n);

private:
    void append(const u8* bytes, size_t n) { block_.insert(block_.end(), bytes, bytes + n); }

    std::vector<u8> block_;
};
