// The system calls through which the installer and the uninstaller change the
// machine: files created, written, dated, renamed and deleted, directories
// made, registry keys opened, created, written and deleted. Code of this layer
// calls them as system_call(Name)(...).
//
// In the shipped stub that is the call itself: no table, not a byte more. The
// fault-test stub is built from the same sources with SEA_FAULTS defined; there
// each call goes through the table below, whose entries a test replaces so
// that a chosen call fails the way a full disk, a held file or a denied key
// makes it fail on a real machine (Wine, run as root, refuses none of these).
// That stub fills the table from the environment variable SEA_FAULTS at start
// (platform/faults.cpp says how).
#pragma once

#include <windows.h>

#ifdef SEA_FAULTS

struct SystemCalls {
    decltype(&::CreateFileA) CreateFileA;
    decltype(&::WriteFile) WriteFile;
    decltype(&::SetFileTime) SetFileTime;
    decltype(&::MoveFileExA) MoveFileExA;
    decltype(&::DeleteFileA) DeleteFileA;
    decltype(&::CreateDirectoryA) CreateDirectoryA;
    decltype(&::RegCreateKeyExA) RegCreateKeyExA;
    decltype(&::RegOpenKeyExA) RegOpenKeyExA;
    decltype(&::RegSetValueExA) RegSetValueExA;
    decltype(&::RegDeleteValueA) RegDeleteValueA;
    decltype(&::RegDeleteKeyA) RegDeleteKeyA;
};

extern SystemCalls system_calls;

#define system_call(name) (system_calls.name)

#else

#define system_call(name) (::name)

#endif
