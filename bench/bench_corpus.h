// The benchmark's corpora, gathered from files on this machine in a fixed
// order, so that two runs on one machine measure the same bytes.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

struct Corpus {
    std::string name;
    std::vector<unsigned char> bytes;
    size_t files = 0;
};

// Whole files from the directory whose names end in one of the suffixes, in
// sorted order, as many as fit in the given size.
Corpus binary_corpus(const std::string& directory, size_t most);

// Plain-text files below the directories (compressed and binary files left
// out), in sorted order, as many as fit in the given size.
Corpus text_corpus(const std::vector<std::string>& directories, size_t most);
