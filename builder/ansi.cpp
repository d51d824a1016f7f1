// Conversions between UTF-8 and Windows-1252 by a table of our own, so that
// the tool converts alike on every system and needs no converter library.
#include "builder/ansi.h"

#include <stdio.h>

namespace {

// The characters of the bytes 0x80 to 0x9F; 0 where the code page has none.
// From 0xA0 on, a byte is the character of the same number.
const unsigned short high_controls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

unsigned long character_of(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? high_controls[byte - 0x80] : byte; }

// The byte for a character, or -1 when the code page lacks it.
int byte_of(unsigned long code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
    for (int i = 0; i < 32; ++i) {
        if (high_controls[i] == code && code != 0) return 0x80 + i;
    }
    return -1;
}

// The character at utf8[i] and its length in bytes; a length of 0 for bytes
// that are no UTF-8 (overlong forms and surrogates included).
size_t decode_one(const std::string& utf8, size_t i, unsigned long& code) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > utf8.size()) return 0;
    code = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(utf8[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3F);
    }
    static const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

void append_utf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

bool to_ansi(const std::string& utf8, std::string& ansi) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned long code = 0;
        size_t length = decode_one(utf8, i, code);
        int byte = length ? byte_of(code) : -1;
        if (byte < 0) return false;
        out += static_cast<char>(byte);
        i += length;
    }
    ansi = out;
    return true;
}

bool from_ansi(const std::string& ansi, std::string& utf8) {
    std::string out;
    for (char c : ansi) {
        unsigned long code = character_of(static_cast<unsigned char>(c));
        if (code == 0 && c != 0) return false;
        append_utf8(out, code);
    }
    utf8 = out;
    return true;
}

std::string ansi_problem(const std::string& utf8) {
    size_t line = 1, column = 1;
    for (size_t i = 0; i < utf8.size(); ++column) {
        unsigned long code = 0;
        size_t length = decode_one(utf8, i, code);
        char where[96];
        if (length == 0) {
            snprintf(where, sizeof where, "line %zu, column %zu: the byte 0x%02X", line, column,
                     static_cast<unsigned char>(utf8[i]));
            return std::string("is not valid UTF-8 (") + where +
                   "); save the file as UTF-8 (a file in Latin-1 or Windows-1252 reads like this)";
        }
        if (byte_of(code) < 0) {
            snprintf(where, sizeof where, "line %zu, column %zu: the character U+%04lX", line, column, code);
            return std::string(where) + " \"" + utf8.substr(i, length) + "\" has no place in the Windows-1252 code page";
        }
        if (code == '\n') {
            ++line;
            column = 0;
        }
        i += length;
    }
    return "";
}
