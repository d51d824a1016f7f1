// Corpus gathering. Files are taken whole, in the sorted order of their
// paths, and skipped when they would overrun the size; symbolic links are not
// followed, so each file counts once.
#include "bench/bench_corpus.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> read_whole(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool ends_with(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Text: no 0 byte and hardly any control characters.
bool looks_like_text(const std::vector<unsigned char>& bytes) {
    if (bytes.empty()) return false;
    size_t odd = 0;
    for (unsigned char c : bytes) {
        if (c == 0) return false;
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f') ++odd;
    }
    return odd * 100 < bytes.size();
}

void take_in_order(std::vector<std::string> paths, size_t most, Corpus& corpus, bool text) {
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths) {
        std::error_code error;
        size_t size = fs::file_size(path, error);
        if (error || size == 0 || corpus.bytes.size() + size > most) continue;
        std::vector<unsigned char> bytes = read_whole(path);
        if (text && !looks_like_text(bytes)) continue;
        corpus.bytes.insert(corpus.bytes.end(), bytes.begin(), bytes.end());
        ++corpus.files;
    }
}

}  // namespace

Corpus binary_corpus(const std::string& directory, size_t most) {
    Corpus corpus;
    corpus.name = "Windows binaries";
    std::vector<std::string> paths;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
        std::string path = entry.path().string();
        if (entry.is_regular_file() && !entry.is_symlink() && (ends_with(path, ".dll") || ends_with(path, ".exe"))) {
            paths.push_back(path);
        }
    }
    take_in_order(paths, most, corpus, false);
    return corpus;
}

Corpus text_corpus(const std::vector<std::string>& directories, size_t most) {
    Corpus corpus;
    corpus.name = "plain text";
    std::vector<std::string> paths;
    for (const std::string& directory : directories) {
        std::error_code error;
        fs::recursive_directory_iterator walk(directory, fs::directory_options::skip_permission_denied, error);
        for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
            const fs::directory_entry& entry = *walk;
            std::string path = entry.path().string();
            if (entry.is_symlink() || !entry.is_regular_file()) continue;
            if (ends_with(path, ".gz") || ends_with(path, ".xz") || ends_with(path, ".bz2") || ends_with(path, ".png") ||
                ends_with(path, ".jpg") || ends_with(path, ".gif") || ends_with(path, ".pdf") || ends_with(path, ".zip")) {
                continue;
            }
            paths.push_back(path);
        }
    }
    take_in_order(paths, most, corpus, true);
    return corpus;
}
