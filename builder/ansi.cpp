// Code page conversions by the code page's own table, the same on every
// system. UTF-8 is decoded strictly (no overlong forms, no surrogates), so
// that a refusal can point at its line and column.
#include "builder/ansi.h"

#include <stdio.h>

#include <stdint.h>

namespace {

// The characters of bytes 0x80 to 0x9F; 0 where the code page has none.
const uint32_t windows_1252_high[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The byte of a code point in Windows-1252, or -1.
int ansi_byte(uint32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
    for (int i = 0; i < 32; ++i) {
        if (windows_1252_high[i] == code) return 0x80 + i;
    }
    return -1;
}

// Decodes one character at text[at]; returns its length, 0 for bytes that
// are not UTF-8.
size_t decode_utf8(const std::string& text, size_t at, uint32_t& code) {
    const unsigned char first = static_cast<unsigned char>(text[at]);
    if (first < 0x80) {
        code = first;
        return 1;
    }
    size_t length;
    uint32_t least;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2, least = 0x80, code = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3, least = 0x800, code = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4, least = 0x10000, code = first & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

void append_utf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

namespace {

// Walks the text, converting it when ansi is given, else only checking that
// it is UTF-8.
std::string walk_utf8(const std::string& utf8, std::string* ansi) {
    std::string out;
    out.reserve(utf8.size());
    size_t line = 1, column = 1;
    for (size_t at = 0; at < utf8.size();) {
        uint32_t code = 0;
        size_t length = decode_utf8(utf8, at, code);
        char where[64];
        snprintf(where, sizeof where, "line %zu, column %zu: ", line, column);
        if (length == 0) {
            char byte[8];
            snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(utf8[at]));
            return std::string(where) + "not valid UTF-8 (byte " + byte +
                   "); save the text as UTF-8 (a Latin-1 or Windows-1252 file is not)";
        }
        int byte = ansi ? ansi_byte(code) : 0;
        if (byte < 0) {
            char point[16];
            snprintf(point, sizeof point, "U+%04X", code);
            return std::string(where) + "the character \"" + utf8.substr(at, length) + "\" (" + point +
                   ") has no place in the Windows-1252 code page of the installer";
        }
        out += static_cast<char>(byte);
        at += length;
        if (code == '\n') {
            ++line, column = 1;
        } else {
            ++column;
        }
    }
    if (ansi) *ansi = out;
    return "";
}

}  // namespace

std::string utf8_to_ansi(const std::string& utf8, std::string& ansi) { return walk_utf8(utf8, &ansi); }

std::string utf8_problem(const std::string& text) { return walk_utf8(text, nullptr); }

bool to_ansi(const std::string& utf8, std::string& ansi) { return utf8_to_ansi(utf8, ansi).empty(); }

bool from_ansi(const std::string& ansi, std::string& utf8) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        unsigned char byte = static_cast<unsigned char>(c);
        uint32_t code = byte >= 0x80 && byte < 0xA0 ? windows_1252_high[byte - 0x80] : byte;
        if (code == 0 && byte != 0) return false;
        append_utf8(out, code);
    }
    utf8 = out;
    return true;
}

std::string without_byte_order_mark(const std::string& text) {
    return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text;
}
