// The system seam on Linux. Extraction opens each part relative to the
// previous one with O_NOFOLLOW, which is what keeps a hostile name or a
// planted link from reaching outside the extraction folder.
#include "builder/system.h"

#include "builder/reader.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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

}  // namespace

bool is_terminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

bool file_modified(const std::string& path, int64_t& seconds) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return false;
    seconds = static_cast<int64_t>(status.st_mtime);
    return true;
}

DateTime local_date(int64_t seconds) {
    time_t time = static_cast<time_t>(seconds);
    struct tm parts = {};
    localtime_r(&time, &parts);
    DateTime date;
    date.year = parts.tm_year + 1900;
    date.month = parts.tm_mon + 1;
    date.day = parts.tm_mday;
    date.hour = parts.tm_hour;
    date.minute = parts.tm_min;
    date.second = parts.tm_sec;
    return date;
}

int64_t seconds_of_local_date(const DateTime& date) {
    struct tm parts = {};
    parts.tm_year = date.year - 1900;
    parts.tm_mon = date.month - 1;
    parts.tm_mday = date.day;
    parts.tm_hour = date.hour;
    parts.tm_min = date.minute;
    parts.tm_sec = date.second;
    parts.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&parts));
}

std::string folder_of(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int run_program(const std::vector<std::string>& words, const std::string& input, std::string* output,
                bool with_errors) {
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0) return -1;
    if (pipe(from_child) != 0) {
        close(to_child[0]);
        close(to_child[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
    if (output) posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
    if (output && with_errors) posix_spawn_file_actions_adddup2(&actions, from_child[1], 2);
    for (int fd : {to_child[0], to_child[1], from_child[0], from_child[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    extern char** environ;
    pid_t child = 0;
    int started = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(to_child[0]);
    close(from_child[1]);
    if (started != 0) {
        close(to_child[1]);
        close(from_child[0]);
        if (output) *output = "cannot run " + words[0] + ": " + strerror(started);
        errno = started;
        return -1;
    }
    // A child that stops reading must not end the tool.
    signal(SIGPIPE, SIG_IGN);
    size_t done = 0;
    while (done < input.size()) {
        ssize_t n = write(to_child[1], input.data() + done, input.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(to_child[1]);
    if (output) output->clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = read(from_child[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (output) output->append(buffer, static_cast<size_t>(n));
    }
    close(from_child[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string own_program() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 && static_cast<size_t>(length) < sizeof path ? std::string(path, static_cast<size_t>(length)) : "";
}

bool program_on_path(const std::string& name) {
    const char* path = getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (access(((folder.empty() ? "." : folder) + "/" + name).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

unsigned long process_number() { return static_cast<unsigned long>(getpid()); }

bool entry_exists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

bool remove_file(const std::string& path) { return unlink(path.c_str()) == 0; }

bool replace_file(const std::string& from, const std::string& to) { return rename(from.c_str(), to.c_str()) == 0; }

std::string last_system_error() { return strerror(errno); }

void write_below(const std::string& dir, const std::vector<std::string>& parts, const Bytes& content,
                 const DateTime& date) {
    Descriptor folder(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) fail("cannot open the directory", dir);
    std::string shown;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        shown += parts[i] + "/";
        folder = enter_folder(folder, parts[i], shown);
    }
    shown += parts.back();
    Descriptor file(openat(folder.get(), parts.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                           0644));
    if (file.get() < 0) fail("cannot create", shown);
    write_all(file.get(), content, shown);
    if (date.is_set()) {
        struct timespec times[2];
        times[0].tv_sec = static_cast<time_t>(seconds_of_local_date(date));
        times[0].tv_nsec = 0;
        times[1] = times[0];
        if (futimens(file.get(), times) != 0) fail("cannot date", shown);
    }
}
