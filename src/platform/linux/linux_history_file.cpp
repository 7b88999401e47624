// The history file on Linux (and any POSIX system): O_APPEND, flock, fsync.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "history/history_file.h"
#include "history/history_place.h"

namespace quenfall {

namespace {

std::string Failure(const std::filesystem::path& file, const char* what, int error) {
    return std::string(what) + " " + file.string() + ": " + std::strerror(error);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);  // releases the lock
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::filesystem::path HistoryPath() {
    return LinuxHistoryPath(NarrowHistoryEnvironment());
}

std::string AppendHistoryLine(const std::filesystem::path& file, std::string_view line) {
    if (file.empty()) return "no place for the history: neither QUENFALL_HISTORY, XDG_STATE_HOME nor HOME is set";
    std::error_code error;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), error);
        if (error) return "cannot create " + file.parent_path().string() + ": " + error.message();
    }
    const Descriptor fd(::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
    if (fd.Get() < 0) return Failure(file, "cannot open", errno);

    const auto giveUp = std::chrono::steady_clock::now() + HistoryLockPatience;
    while (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return Failure(file, "cannot lock", errno);
        if (std::chrono::steady_clock::now() >= giveUp) {
            return "another program held the lock on " + file.string() + " for too long";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    // Under the lock the end of the file is where this record goes: only a writer that died
    // mid-record can have left it without a line end.
    std::string record;
    record.reserve(line.size() + 2);
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) return Failure(file, "cannot examine", errno);
    if (status.st_size > 0) {
        char last = '\n';
        if (::pread(fd.Get(), &last, 1, status.st_size - 1) != 1) return Failure(file, "cannot read", errno);
        if (last != '\n') record += '\n';
    }
    record += line;
    record += '\n';
    if (!WriteAll(fd.Get(), record.data(), record.size())) return Failure(file, "cannot write", errno);
    // The lock orders the writes; the flush needs no lock, and holding one through it would
    // keep every other program waiting on the disk.
    ::flock(fd.Get(), LOCK_UN);
    if (::fsync(fd.Get()) != 0) return Failure(file, "cannot flush", errno);
    return {};
}

}  // namespace quenfall
