// The fatal report of the fuzz targets. The installer ends the process on a
// corrupt block; a fuzzer must go on to the next input, so this definition of
// fatal_error jumps back into the target instead. The decoder keeps nothing
// with a destructor on its stack and frees its output before it reports, so
// the jump skips no clean-up and leaks nothing. A reader that holds a block
// across the decoding leaves it to the jump; its target says how it copes.
#pragma once

#include <setjmp.h>

// Set by a target around a call that may report; null elsewhere, where a
// report is a bug and aborts.
extern jmp_buf* fatal_return;

// The text of the last report.
extern char fatal_text[256];
