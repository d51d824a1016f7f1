// The one-line display of a build's progress.
#include "builder/progress.h"

#include "builder/system.h"

namespace {

const std::chrono::milliseconds redraw_interval(100);

}  // namespace

std::string amount(uint64_t bytes) {
    char text[32];
    if (bytes < 10000) {
        snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    } else if (bytes < 10000000) {
        snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1e3);
    } else {
        snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    }
    return text;
}

BuildDisplay::BuildDisplay(FILE* stream) : stream_(is_terminal(stream) ? stream : nullptr) {}

bool BuildDisplay::due() {
    auto now = std::chrono::steady_clock::now();
    if (shown_ && now - last_ < redraw_interval) return false;
    last_ = now;
    return true;
}

void BuildDisplay::show(const std::string& line) {
    fprintf(stream_, "\r\033[K%s", line.c_str());
    fflush(stream_);
    shown_ = true;
}

void BuildDisplay::clear() {
    if (stream_ && shown_) fprintf(stream_, "\r\033[K");
    shown_ = false;
}

ReadProgress BuildDisplay::reading(const Manifest& manifest) {
    if (!stream_) return nullptr;
    uint64_t total = 0;
    for (const ManifestFile& file : manifest.files) total += file.size;
    return [this, &manifest, total, done = uint64_t(0)](size_t index) mutable {
        if (index == 0) done = 0;
        if (due()) {
            char line[160];
            snprintf(line, sizeof line, "reading file %zu of %zu, %s of %s", index + 1, manifest.files.size(),
                     amount(done).c_str(), amount(total).c_str());
            show(line);
        }
        done += manifest.files[index].size;
    };
}

CompressProgress BuildDisplay::compressing() {
    if (!stream_) return nullptr;
    start_ = std::chrono::steady_clock::now();
    return [this](size_t done, size_t total) {
        // The end is always shown, so that a short compression shows at all.
        if (total == 0 || (!due() && done < total)) return;
        last_ = std::chrono::steady_clock::now();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        char line[160];
        snprintf(line, sizeof line, "compressing %3d%%, %s of %s, %s/s", static_cast<int>(done * 100 / total),
                 amount(done).c_str(), amount(total).c_str(),
                 amount(static_cast<uint64_t>(seconds > 0 ? static_cast<double>(done) / seconds : 0)).c_str());
        show(line);
    };
}
