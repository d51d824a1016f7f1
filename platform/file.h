// One open disk file with read and write permissions, a stack of saved
// positions and the reason of its last failed read or write.
//
// Every operation reports by its result (bool, or -1 for a position); none
// shows a message, except that popping a position that was never pushed is
// an internal-check failure. Positions and sizes are signed 32-bit, so files
// of 2 GiB and more are out of reach. The two free functions at the end write
// whole texts through the C runtime's streams, for batch files and the log.
#pragma once

#include <windows.h>

#include "foundation/foundation.h"
#include "platform/datetime.h"

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
    // Creates the file for reading and writing, emptying one that exists.
    bool create(const char* path, bool exclusive);
    void close();

    bool is_open() const { return handle != nullptr; }
    const String& file_name() const { return name; }

    i32 tell();
    bool seek(i32 offset);
    bool seek_from_end(i32 offset);
    i32 size();

    i32 push_position();
    i32 push_position_and_seek(i32 offset);
    i32 pop_position();

    bool read(void* block, i32 count);
    // Reads at offset and leaves the position where it was, whatever happens.
    bool read_at(i32 offset, void* block, i32 count);
    // Reads count bytes at offset into out; a range beyond the file's end
    // fails before out is touched.
    bool read_range(ByteBuffer& out, i32 offset, i32 count);
    bool write(const void* block, i32 count);

    // The last-write time as a local date; the second form gives all six
    // fields 0 when it cannot be read.
    bool get_date(DateTime& out);
    DateTime get_date();
    bool set_date(const DateTime& date);

    const String& error_text() const { return error_text_; }

private:
    void record_system_error();

    HANDLE handle = nullptr;
    String name;
    Stack<i32> positions;
    bool can_read = false;
    bool can_write = false;
    String error_text_;
};

// Replaces the file's contents with text (null: an empty file).
bool write_text_file(const char* path, const char* text);
// Adds text at the end of the file, creating it when it is missing.
bool append_text_file(const char* path, const char* text);
