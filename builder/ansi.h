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

// Why to_ansi refuses a text, with the line and column (counted in
// characters, from 1) of the first fault: bytes that are not UTF-8 (a file
// saved in Latin-1, say), or a character that Windows-1252 lacks, named by
// its code point. Empty when to_ansi would accept it.
std::string ansi_problem(const std::string& utf8);
