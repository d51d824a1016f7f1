// fatal_error for the fuzz targets: record the text and jump back (see
// fuzz_fatal.h).
#include "tests/fuzz/fuzz_fatal.h"

#include "foundation/core.h"

#include <stdio.h>
#include <stdlib.h>

jmp_buf* fatal_return = nullptr;
char fatal_text[256];

void fatal_error_va(const char* format, va_list arguments) {
    vsnprintf(fatal_text, sizeof fatal_text, format, arguments);
    if (!fatal_return) {
        fprintf(stderr, "unexpected fatal report: %s\n", fatal_text);
        abort();
    }
    jmp_buf* target = fatal_return;
    fatal_return = nullptr;
    longjmp(*target, 1);
}

void fatal_error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    fatal_error_va(format, arguments);
}
