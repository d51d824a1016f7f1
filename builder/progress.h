// What a long build shows on a terminal: the files read, then the payload's
// compression with its percentage and rate, on one line that is redrawn at
// most a few times a second and cleared at the end. Without a terminal it
// shows nothing, so that logs and pipes get only the result.
#pragma once

#include "builder/build.h"

#include <stdio.h>

#include <chrono>

class BuildDisplay {
public:
    // Shows on stream only when it is a terminal.
    explicit BuildDisplay(FILE* stream);
    ~BuildDisplay() { clear(); }

    ReadProgress reading(const Manifest& manifest);
    CompressProgress compressing();
    void clear();

private:
    bool due();
    void show(const std::string& line);

    FILE* stream_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

// "512 bytes", "12.3 KB", "4.5 MB" (powers of 1000).
std::string amount(uint64_t bytes);
