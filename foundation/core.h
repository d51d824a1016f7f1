// The ground floor of the foundation: fixed-width types, the fatal report,
// internal checks, memory and the one shared formatting scratch.
//
// Everything above this file may assume that an allocation never comes back
// empty (the out-of-memory handler ends the process first) and that a broken
// invariant never goes unnoticed (core_assert ends the process). Nothing here
// throws; the process ends through fatal_error, whose definition is chosen at
// link time: a message box in the installer, a line on stderr elsewhere.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

typedef int32_t i32;
typedef uint32_t u32;
typedef uint8_t u8;

#if defined(__GNUC__)
#define CORE_NORETURN __attribute__((noreturn))
#define CORE_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define CORE_NORETURN
#define CORE_PRINTF(f, a)
#endif

// The bound of every formatted text: it must fit the scratch with its
// terminator, so the longest is one byte shorter.
const i32 format_scratch_size = 32768;

// The fatal report. Defined once per program: the installer shows the
// "FATAL ERROR" box and ends the run; native programs print the text and a
// line break to stderr and exit with 1. Safe to call at any time, also before
// the foundation is set up.
CORE_NORETURN void fatal_error(const char* format, ...) CORE_PRINTF(1, 2);
CORE_NORETURN void fatal_error_va(const char* format, va_list arguments);

// The foundation's internal check: "%s %d" with the source path as the build
// records it (relative to the source tree) and the line.
CORE_NORETURN void core_assert_failed(const char* file, int line);
#define core_assert(condition) \
    ((condition) ? (void)0 : core_assert_failed(__FILE__, __LINE__))

// The longer report of internal checks that name their condition:
// "Assertion failed:\n%s\n\nFile: %s\nLine: %d".
CORE_NORETURN void assertion_failed(const char* expression, const char* file, i32 line);

// Ends the process with the out-of-memory report naming the size asked for.
CORE_NORETURN void out_of_memory(size_t size);

// Heap blocks that are never null: a failing request ends the process through
// out_of_memory. core_reallocate keeps the contents like realloc.
void* core_allocate(size_t size);
void* core_reallocate(void* block, size_t size);
void core_free(void* block);

// part * span / whole rounded down, for a part from 0 up, a whole above 0
// and a span from 0 up, whose product may leave the 32-bit range: progress
// over byte counts. It needs no 64-bit division, whose helper the 32-bit
// runtime would otherwise link in.
i32 scale(i32 part, i32 whole, i32 span);

// Formats into the shared scratch with vsnprintf's rules, never writing past
// its 32,768 bytes, and returns the scratch. The text lasts only until the next
// formatting call. A text that does not fit (32,768 bytes or more) is a
// core_assert failure.
const char* format_to_scratch(const char* format, va_list arguments);
