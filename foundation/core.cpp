// Memory, the internal check and the formatting scratch.
//
// A static object of this file sets the foundation up before any other code
// runs: the allocation-failure handler and the scratch. Our own operator new
// and delete keep the C++ runtime's exception machinery out of the installer,
// and core_allocate routes every failed request of ours through
// out_of_memory. That is the whole handler: every block of the system comes
// from core_allocate or our operator new, so no run-time hook is needed (the
// import libraries of the Win32 C runtime do not even offer one).
#include "core.h"

#include <new>
#include <stdio.h>
#include <stdlib.h>

namespace {

char* format_scratch = nullptr;

// Constructed before the entry point, destroyed at exit.
struct Core32 {
    Core32() {
        format_scratch = static_cast<char*>(malloc(format_scratch_size));
        core_assert(format_scratch != nullptr);
    }
    ~Core32() {
        free(format_scratch);
        format_scratch = nullptr;
    }
};

Core32 core32_setup;

}  // namespace

void core_assert_failed(const char* file, int line) {
    fatal_error("%s %d", file, line);
}

void assertion_failed(const char* expression, const char* file, i32 line) {
    fatal_error("Assertion failed:\n%s\n\nFile: %s\nLine: %d", expression, file, line);
}

void out_of_memory(size_t size) {
    fatal_error("Out Of Memory.  Make sure your hard drive is not full.\nRequested size = %d",
                static_cast<int>(size));
}

void* core_allocate(size_t size) {
    void* block = malloc(size ? size : 1);
    if (!block) out_of_memory(size);
    return block;
}

void* core_reallocate(void* block, size_t size) {
    void* grown = realloc(block, size ? size : 1);
    if (!grown) out_of_memory(size);
    return grown;
}

void core_free(void* block) { free(block); }

const char* format_to_scratch(const char* format, va_list arguments) {
    core_assert(format != nullptr);
    if (!format_scratch) {
        // Only a fatal report formatted during static set-up gets here.
        format_scratch = static_cast<char*>(malloc(format_scratch_size));
        if (!format_scratch) return "Out of memory";
    }
#ifdef _WIN32
    // msvcrt's formatter: -1 when the text does not fit, and no terminator
    // when it fills the space exactly, so the last byte is kept back.
    int written = _vsnprintf(format_scratch, format_scratch_size - 1, format, arguments);
    format_scratch[format_scratch_size - 1] = 0;
#else
    int written = vsnprintf(format_scratch, format_scratch_size, format, arguments);
#endif
    core_assert(written >= 0 && written < format_scratch_size);
    return format_scratch;
}

// Our own allocation operators: no exceptions, and a failure is reported
// with the size that was asked for.
void* operator new(size_t size) { return core_allocate(size); }
void* operator new[](size_t size) { return core_allocate(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }
// The nothrow forms too, so that every new and delete of a program pairs the
// same allocator; ours never returns empty either way.
void* operator new(size_t size, const std::nothrow_t&) noexcept { return core_allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return core_allocate(size); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }

// The whole multiples of the part scale directly; the remainder, below the
// whole, is added span times and each pass beyond the whole carries one, so
// no sum exceeds twice the whole.
i32 scale(i32 part, i32 whole, i32 span) {
    u32 divisor = static_cast<u32>(whole);
    u32 remainder = static_cast<u32>(part) % divisor;
    u32 quotient = static_cast<u32>(part) / divisor * static_cast<u32>(span);
    u32 carried = 0;
    for (i32 i = 0; i < span; i++) {
        carried += remainder;
        if (carried >= divisor) {
            carried -= divisor;
            quotient++;
        }
    }
    return static_cast<i32>(quotient);
}
