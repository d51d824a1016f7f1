// The byte buffer: growth with 64 bytes of slack, appends that move the
// position, and reads that never touch memory outside the block.
//
// The slack matters beyond saving reallocations: the block decoder copies in
// fixed 16-byte steps and relies on the bytes behind the size being allocated.
// Every size and position computation is checked against the 32-bit range
// before it is made, because a hostile archive decides the numbers.
#include "foundation/byte_buffer.h"

#include "foundation/string.h"

#include <string.h>

namespace {

const i32 growth_slack = 64;
const i32 shrink_threshold = 512;
const i32 i32_max = 2147483647;

CORE_NORETURN void buffer_out_of_memory() { fatal_error("Out of memory"); }

}  // namespace

ByteBuffer::ByteBuffer() : data_(nullptr), size_(0), capacity_(0), position_(0) {}

ByteBuffer::ByteBuffer(i32 n) : ByteBuffer() { set_size(n); }

ByteBuffer::~ByteBuffer() { core_free(data_); }

void ByteBuffer::clear() {
    core_free(data_);
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
    position_ = 0;
}

void ByteBuffer::set_size(i32 n) {
    if (n <= 0) {
        clear();
        return;
    }
    if (n == size_) return;
    if (n > capacity_ || n < capacity_ - shrink_threshold) {
        if (n > i32_max - growth_slack) buffer_out_of_memory();
        i32 wanted = n + growth_slack;
        u8* grown = static_cast<u8*>(core_reallocate(data_, static_cast<size_t>(wanted)));
        if (!grown) buffer_out_of_memory();
        data_ = grown;
        capacity_ = wanted;
    }
    size_ = n;
}

void ByteBuffer::ensure_size(i32 n) {
    if (n > capacity_) {
        set_size(n);
    } else if (n > size_) {
        size_ = n;
    }
}

void ByteBuffer::truncate_to_position() {
    if (position_ < size_) set_size(position_);
}

bool ByteBuffer::set_position(i32 n) {
    if (n < 0 || n > size_) return false;
    position_ = n;
    return true;
}

bool ByteBuffer::at_end() const { return position_ < 0 || position_ >= size_; }

void ByteBuffer::adopt(u8* block, i32 n) {
    if (block == data_) data_ = nullptr;
    core_free(data_);
    data_ = block;
    size_ = n;
    capacity_ = n;
    position_ = n;
}

u8* ByteBuffer::release() {
    u8* block = data_;
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
    position_ = 0;
    return block;
}

u8* ByteBuffer::append_space(i32 n) {
    core_assert(n >= 1);
    // A position behind a short read may lie outside 0..size; appending there
    // would leave a gap of bytes nobody wrote, or start before the block.
    core_assert(position_ >= 0);
    if (position_ > i32_max - n) buffer_out_of_memory();
    i32 start = position_;
    i32 old_size = size_;
    position_ += n;
    ensure_size(position_);
    if (start > old_size) memset(data_ + old_size, 0, static_cast<size_t>(start - old_size));
    return data_ + position_ - n;
}

void ByteBuffer::append_bytes(const void* source, i32 n) {
    if (n <= 0) return;
    core_assert(source != nullptr);
    memcpy(append_space(n), source, static_cast<size_t>(n));
}

void ByteBuffer::append_fill(u8 byte, i32 n) {
    if (n <= 0) return;
    memset(append_space(n), byte, static_cast<size_t>(n));
}

bool ByteBuffer::append_copy(i32 offset, i32 n) {
    if (offset < 0 || n <= 0) return false;
    if (position_ < 0 || position_ > size_) return false;
    if (offset > position_ - n) return false;
    if (position_ > i32_max - n) buffer_out_of_memory();
    ensure_size(position_ + n);
    memcpy(data_ + position_, data_ + offset, static_cast<size_t>(n));
    position_ += n;
    return true;
}

bool ByteBuffer::read(void* destination, i32 n) {
    if (n == 0) return true;
    if (!destination || n < 0) return false;
    u8* out = static_cast<u8*>(destination);
    i32 remaining = (position_ >= 0 && position_ < size_) ? size_ - position_ : 0;
    if (remaining >= n) {
        memcpy(out, data_ + position_, static_cast<size_t>(n));
        position_ += n;
        return true;
    }
    if (remaining > 0) memcpy(out, data_ + position_, static_cast<size_t>(remaining));
    memset(out + remaining, 0, static_cast<size_t>(n - remaining));
    // The position stays past the end so that every later read is short too;
    // it saturates instead of wrapping around to a readable offset.
    position_ = position_ > i32_max - n ? i32_max : position_ + n;
    return false;
}

i32 ByteBuffer::text_length_at_position(bool& terminated) const {
    const u8* start = data_ + position_;
    const void* zero = memchr(start, 0, static_cast<size_t>(size_ - position_));
    terminated = zero != nullptr;
    return terminated ? static_cast<i32>(static_cast<const u8*>(zero) - start)
                      : size_ - position_;
}

bool ByteBuffer::read_string(String& out) {
    if (at_end()) {
        out.clear();
        return false;
    }
    bool terminated = false;
    i32 length = text_length_at_position(terminated);
    out.assign(reinterpret_cast<const char*>(data_ + position_), length);
    position_ += length + (terminated ? 1 : 0);
    return terminated;
}

bool ByteBuffer::skip_string() {
    if (at_end()) return false;
    bool terminated = false;
    position_ += text_length_at_position(terminated) + (terminated ? 1 : 0);
    return terminated;
}
