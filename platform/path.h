// Path texts: functions that only look at and edit the text of a path,
// never the disk, so they are portable and tested natively.
//
// Paths are Windows paths in the ANSI code page: the backslash separates,
// a letter and a colon form a drive prefix, and a drive prefix followed by
// a backslash is a drive root. Failures are results; nothing here shows a
// message.
#pragma once

#include "foundation/foundation.h"

// dir and name with one backslash between them where one is needed: none
// after a drive prefix ("C:" and "x" give "C:x"), and a name that brings its
// own leading backslash drops one trailing backslash of dir.
String join_path(const char* dir, const char* name);

// The directory part: before the last backslash, which is kept only behind
// a drive prefix (C:\a\b.txt gives C:\a, C:\b.txt gives C:\); without a
// backslash up to and with the first colon; else empty.
String directory_of(const char* path);
// Cuts path to its directory part; false and unchanged when it has none.
bool remove_file_name(String& path);
// Splits at the last backslash (or behind a drive prefix); a bare name has an
// empty dir. False only for an empty name.
bool split_path(const char* path, String& dir, String& name);

// Appends ".ext" (ext may bring its own dot) when the file-name part of
// path, behind its last backslash, holds no dot; a dot in a directory name
// does not count. Returns whether it appended.
bool set_default_extension(String& path, const char* ext);
// Puts dir in front of a bare file name; false for an empty dir or a name
// that already holds a backslash or a colon.
bool prefix_directory(String& name, const char* dir);
// Places a relative path below base, an absolute directory with a drive
// root. False when base is unusable or path already has a drive root.
bool make_absolute(String& path, const char* base);

bool has_drive_root(const char* path);
// The upper-case drive letter of a path that starts with one, else 0.
char drive_letter_of(const char* path);
// "X:\" for a path that starts with a drive letter, else empty.
String drive_root_of(const char* path);
// A path free of the characters that no file name may hold (a drive colon and
// enclosing double quotes allowed).
bool is_valid_path(String path);
