// Writing records below a directory with descriptors: each step opens the
// next part relative to the previous one with O_NOFOLLOW, which is what
// keeps a hostile name or a planted link from reaching outside.
#include "builder/extract.h"

#include "builder/ansi.h"
#include "builder/manifest.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }

private:
    int fd_;
};

[[noreturn]] void fail(const std::string& what, const std::string& name) {
    throw ArchiveProblem(0, what + " " + name + ": " + strerror(errno));
}

// The folder part below parent, created when missing; never a link.
Descriptor enter_folder(const Descriptor& parent, const std::string& part, const std::string& shown) {
    if (mkdirat(parent.get(), part.c_str(), 0755) != 0 && errno != EEXIST) fail("cannot create", shown);
    Descriptor folder(openat(parent.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0) fail("cannot open the folder", shown);
    return folder;
}

void write_all(int fd, const Bytes& content, const std::string& shown) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot write", shown);
        }
        done += static_cast<size_t>(n);
    }
}

void write_record(const Descriptor& root, const Record& record, const std::vector<std::string>& parts) {
    std::string shown = std::string(kind_folder(record.kind)) + "/";
    Descriptor folder = enter_folder(root, kind_folder(record.kind), shown);
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        shown += parts[i] + "/";
        folder = enter_folder(folder, parts[i], shown);
    }
    shown += parts.back();
    Descriptor file(openat(folder.get(), parts.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                           0644));
    if (file.get() < 0) fail("cannot create", shown);
    write_all(file.get(), record.content, shown);
    if (record.date.is_set()) {
        struct timespec times[2];
        times[0].tv_sec = static_cast<time_t>(seconds_of_local_date(record.date));
        times[0].tv_nsec = 0;
        times[1] = times[0];
        if (futimens(file.get(), times) != 0) fail("cannot date", shown);
    }
}

}  // namespace

std::string split_record_name(const std::string& name, std::vector<std::string>& parts) {
    parts.clear();
    if (name.empty()) return "the name is empty";
    NameFault fault = entry_name_fault(name.c_str());
    if (fault != NameFault::none) return name_fault_meaning(fault);
    std::string ansi_part;
    size_t start = 0;
    for (;;) {
        size_t end = name.find_first_of("\\/", start);
        std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty() && part != ".") {
            std::string host;
            if (!from_ansi(part, host)) return "the name holds a byte that is no character";
            parts.push_back(host);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (parts.empty()) return "the name names no file";
    return "";
}

void extract_records(const std::vector<Record>& records, const std::string& dir) {
    std::vector<std::vector<std::string>> names(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        std::string problem = split_record_name(records[i].name, names[i]);
        if (!problem.empty()) {
            throw ArchiveProblem(0, "refusing to extract \"" + records[i].name + "\" (record " +
                                        std::to_string(i + 1) + "): " + problem + "; nothing was written");
        }
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    Descriptor root(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0) fail("cannot open the directory", dir);
    for (size_t i = 0; i < records.size(); ++i) write_record(root, records[i], names[i]);
}

size_t extract_installer(const std::string& path, const std::string& dir) {
    Installer installer = open_installer(path);
    std::vector<Record> records = read_records(installer, gather_stored_payload(installer).stored);
    extract_records(records, dir);
    return records.size();
}
