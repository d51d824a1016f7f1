// Running another program as a child process, without a shell, and taking
// what it writes. The `sea` tool needs it only for the signing tool; one
// file per system implements it.
#pragma once

#include <string>
#include <vector>

// Runs arguments[0] (looked up in PATH when it holds no slash) with the
// arguments behind it, and waits for it. Its standard output and standard
// error, interleaved as written, go to output. Returns its exit status, or -1
// when it cannot be started (output then says why).
int run_program(const std::vector<std::string>& arguments, std::string& output);
