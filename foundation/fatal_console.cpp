// The fatal report of native programs and tests: the text that the installer
// would show in its "FATAL ERROR" box goes to stderr, and the process exits
// with 1, the installer's exit code at every end of a run.
#include "core.h"

#include <stdio.h>
#include <stdlib.h>

void fatal_error_va(const char* format, va_list arguments) {
    const char* text = format_to_scratch(format, arguments);
    fputs(text, stderr);
    fputc('\n', stderr);
    fflush(stderr);
    _Exit(1);
}

void fatal_error(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    fatal_error_va(format, arguments);
}
