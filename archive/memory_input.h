// A file's bytes in memory, read the way the installer reads its File: the
// input of read_archive_header for the `sea` tool and the native tests.
#pragma once

#include "foundation/core.h"

#include <string.h>

class MemoryInput {
public:
    MemoryInput(const u8* data, i32 size) : data_(data), size_(size < 0 ? 0 : size), position_(0) {}

    i32 size() const { return size_; }
    i32 tell() const { return position_; }
    // Like the system's file pointer: any offset from 0 on, the end included
    // and beyond it; a position before the start fails.
    bool seek(i32 offset) {
        if (offset < 0) return false;
        position_ = offset;
        return true;
    }
    bool seek_from_end(i32 offset) {
        int64_t target = static_cast<int64_t>(size_) + offset;
        if (target < 0 || target > 0x7FFFFFFF) return false;
        position_ = static_cast<i32>(target);
        return true;
    }
    // All count bytes or false; a short read moves to the end.
    bool read(void* block, i32 count) {
        if (count == 0) return true;
        if (count < 0 || !block) return false;
        i32 left = position_ < size_ ? size_ - position_ : 0;
        if (left < count) {
            if (left > 0) position_ = size_;
            return false;
        }
        memcpy(block, data_ + position_, static_cast<size_t>(count));
        position_ += count;
        return true;
    }

private:
    const u8* data_;
    i32 size_;
    i32 position_;
};
