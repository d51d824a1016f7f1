// Code page conversions through the C library's iconv.
#include "builder/ansi.h"

#include <iconv.h>

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
