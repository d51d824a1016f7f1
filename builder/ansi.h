// The installer's texts and names are in the ANSI code page of Windows
// (Windows-1252 for the languages this tool is made for); the tool's own world
// is UTF-8. These convert between the two, refusing what does not fit.
#pragma once

#include <string>

// False when a character has no place in Windows-1252 or the bytes are no
// UTF-8.
bool to_ansi(const std::string& utf8, std::string& ansi);
// False for the five byte values that Windows-1252 leaves undefined.
bool from_ansi(const std::string& ansi, std::string& utf8);
