// One open disk file with read and write permissions; every operation
// reports by its result.
#pragma once

#include <windows.h>

#include "foundation/foundation.h"

class File {
public:
    File() = default;
    ~File() { close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens an existing file. Not exclusive: others may read and write it
    // too (the running executable is opened this way).
    bool open(const char* path, bool read, bool write, bool exclusive);
    bool open_for_reading(const char* path, bool exclusive) { return open(path, true, false, exclusive); }
    void close();

    bool is_open() const { return handle != nullptr; }
    const String& file_name() const { return name; }

private:
    HANDLE handle = nullptr;
    String name;
    bool can_read = false;
    bool can_write = false;
};
