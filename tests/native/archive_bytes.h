// Building archive bytes by hand in the archive tests: little-endian words
// and nul-terminated texts, as the format stores them.
#pragma once

#include "archive/archive.h"

#include <string>
#include <vector>

typedef std::vector<u8> Bytes;

inline void put_word(Bytes& out, u32 value) {
    u8 bytes[4];
    store_le32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

inline void put_text(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}
