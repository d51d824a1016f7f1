// The registry: one current key on which every value read and write acts,
// with nesting. Opening a key makes it current and remembers the one before;
// closing it makes that one current again, so the installer can step into a
// second key (the shared-file counts) while the product's key stays open.
//
// Every open that succeeds must be matched by exactly one close_key, and an
// open that fails by none. Failures are results only (0, false, the default
// text); the system's error code is not kept. The two broken preconditions,
// a close without an open and a value operation without a name, end the
// process through assertion_failed.
#pragma once

#include <windows.h>

#include "foundation/foundation.h"

// The one flag bit of set_dword and set_string: a value that would be empty
// (or zero) is deleted instead of written.
const u32 reg_delete_when_empty = 0x08;

// What open_key reports.
const int reg_open_failed = 0;
const int reg_opened_existing = 1;
const int reg_created_new = 2;

// Opens path below parent, creating it and its missing parents, and makes it
// current: 1 for an existing key, 2 for a created one, 0 on failure (nothing
// changes then).
int open_key(HKEY parent, const char* path);
void close_key();
// open_key of "Software\" + subpath below HKEY_CURRENT_USER or
// HKEY_LOCAL_MACHINE.
int open_software_key(const char* subpath, bool current_user);
// The same; a failure ends the run with "Unable to open registry key '%s'".
int open_software_key_or_fail(const char* subpath, bool current_user);
// open_key below the current key; 0 when none is current.
int open_subkey(const char* path);

// Existence tests that never create anything and leave the current key alone.
bool key_exists(HKEY root, const char* path);
bool software_key_exists(const char* subpath, bool current_user);
// True also when no key is current or the key cannot be queried.
bool key_is_empty();
// Opens (and so creates) name below the current key to look into it.
bool subkey_is_empty(const char* name);

// Deletes one key below the current key; never recurses into subkeys.
bool delete_key(const char* name, bool only_if_empty);
bool delete_key_at(HKEY root, const char* parent_path, const char* name, bool only_if_empty);
// Deletes the last component of path.
bool delete_key_path(HKEY root, const char* path, bool only_if_empty);
bool delete_software_key(const char* subpath, bool current_user, bool only_if_empty);
bool delete_software_subkey(const char* parent_subpath, const char* name, bool current_user,
                            bool only_if_empty);

// Values of the current key: numbers are REG_DWORD, texts REG_SZ. A value of
// another type reads as the default.
u32 get_dword(const char* name, u32 default_value);
String get_string(const char* name, const char* default_text);
bool set_dword(const char* name, u32 value, u32 flags);
bool set_string(const char* name, const char* text, u32 flags);
bool delete_value(const char* name);

// Reads the REG_SZ value named by the last component of path, below root.
// The key is created when missing, and a missing value reads as an empty
// text; only an unusable path or key gives default_text.
String read_registry_string(HKEY root, const char* path, const char* default_text);
