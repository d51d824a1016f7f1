// Code page conversions through the C library's iconv.
#include "builder/ansi.h"

#include <iconv.h>
#include <stdio.h>

namespace {

bool convert(const char* to, const char* from, const std::string& in_text, std::string& out_text) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = in_text;
    // Windows-1252 takes at most three UTF-8 bytes a character.
    std::string out(in.size() * 3 + 1, '\0');
    char* in_bytes = in.data();
    size_t in_left = in.size();
    char* out_bytes = out.data();
    size_t out_left = out.size();
    size_t result = iconv(converter, &in_bytes, &in_left, &out_bytes, &out_left);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1)) return false;
    out.resize(out.size() - out_left);
    out_text = out;
    return true;
}

}  // namespace

bool to_ansi(const std::string& utf8, std::string& ansi) { return convert("WINDOWS-1252", "UTF-8", utf8, ansi); }

bool from_ansi(const std::string& ansi, std::string& utf8) { return convert("UTF-8", "WINDOWS-1252", ansi, utf8); }

std::string ansi_problem(const std::string& utf8) {
    size_t line = 1, column = 1;
    for (size_t i = 0; i < utf8.size(); ++column) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        bool valid = length > 0 && i + length <= utf8.size();
        unsigned long code = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        for (size_t k = 1; valid && k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        // Overlong forms and surrogates are no UTF-8 either.
        static const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)) valid = false;
        char where[96];
        if (!valid) {
            snprintf(where, sizeof where, "line %zu, column %zu: the byte 0x%02X", line, column, lead);
            return std::string("is not valid UTF-8 (") + where +
                   "); save the file as UTF-8 (a file in Latin-1 or Windows-1252 reads like this)";
        }
        std::string character = utf8.substr(i, length), ansi;
        if (!to_ansi(character, ansi)) {
            snprintf(where, sizeof where, "line %zu, column %zu: the character U+%04lX", line, column, code);
            return std::string(where) + " \"" + character + "\" has no place in the Windows-1252 code page";
        }
        if (lead == '\n') {
            ++line;
            column = 0;
        }
        i += length;
    }
    return "";
}
