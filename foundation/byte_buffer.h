// A growable block of raw bytes with one read/write position.
//
// It holds what is not text: header and payload blocks of the archive and
// whole file contents. Writers append at the position and pull the size along;
// readers walk the block with the same position and get zeros and false when
// they run off its end, so a truncated block reads as zeros rather than as
// memory that lies behind it. Sizes and positions are signed 32-bit, like the
// rest of the installer; a block that would outgrow that range is reported as
// exhausted memory instead of wrapping around.
#pragma once

#include "foundation/core.h"

class String;

class ByteBuffer {
public:
    ByteBuffer();
    explicit ByteBuffer(i32 n);
    ~ByteBuffer();
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    void clear();

    u8* data() const { return data_; }
    i32 size() const { return size_; }
    i32 capacity() const { return capacity_; }
    i32 position() const { return position_; }

    void set_size(i32 n);
    void ensure_size(i32 n);
    void truncate_to_position();
    bool set_position(i32 n);
    bool at_end() const;

    // Ownership of heap blocks from core_allocate passes in and out here.
    void adopt(u8* block, i32 n);
    u8* release();

    u8* append_space(i32 n);
    void append_bytes(const void* source, i32 n);
    void append_fill(u8 byte, i32 n);
    bool append_copy(i32 offset, i32 n);

    bool read(void* destination, i32 n);
    bool read_string(String& out);
    bool skip_string();

private:
    // The length of the text at the position, and whether a 0 byte ends it.
    i32 text_length_at_position(bool& terminated) const;

    u8* data_;
    i32 size_;
    i32 capacity_;
    i32 position_;
};
