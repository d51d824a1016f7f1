// The installer's texts and names are in the ANSI code page of Windows
// (Windows-1252 for the languages this tool is made for); the tool's own world
// is UTF-8. These convert between the two, refusing what does not fit, and
// say where the first misfit is so that a packager can find it in a long
// licence.
#pragma once

#include <string>

// Converts UTF-8 to Windows-1252. Returns an empty text on success, else
// "line L, column C: " and what is wrong there: bytes that are not UTF-8
// (the first of them in hex), or a character that the code page lacks
// (shown, with its code point). Columns count characters from 1.
std::string utf8_to_ansi(const std::string& utf8, std::string& ansi);
// The same check of UTF-8 alone: empty, or where the first fault is.
std::string utf8_problem(const std::string& text);
// False when a character has no place in Windows-1252 or the bytes are no
// UTF-8.
bool to_ansi(const std::string& utf8, std::string& ansi);
// False for the five byte values that Windows-1252 leaves undefined.
bool from_ansi(const std::string& ansi, std::string& utf8);
// A text file's UTF-8 byte-order mark, which editors on Windows write and
// which is no part of the text, removed.
std::string without_byte_order_mark(const std::string& text);
