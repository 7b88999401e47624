// The history file on Linux (and any POSIX system): O_APPEND, flock, fsync; opened with
// O_NOFOLLOW and checked with fstat, so that a link planted in a shared folder (to another
// user's shell start-up file, say) is never written through.
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

// Opens file as a history: never through a symbolic link in its own name (O_NOFOLLOW), never
// waiting on a pipe or a device (O_NONBLOCK until it is known to be a regular file), and
// only the user's own regular file. The descriptor, or -1 with the reason in problem.
int OpenHistory(const std::filesystem::path& file, int flags, std::string& problem) {
    const int fd = ::open(file.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP) {
            problem = file.string() + " is a symbolic link: a history is never read or written through one";
        } else if (error == EISDIR) {
            problem = file.string() + " is a folder, not a history file";
        } else {
            problem = Failure(file, "cannot open", error);
        }
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        problem = Failure(file, "cannot examine", errno);
    } else if (S_ISDIR(status.st_mode)) {
        problem = file.string() + " is a folder, not a history file";
    } else if (!S_ISREG(status.st_mode)) {
        problem = file.string() + " is not a regular file (a device, a pipe or a socket), so it is no history";
    } else if (status.st_uid != ::geteuid()) {
        problem = file.string() + " belongs to another user (uid " + std::to_string(status.st_uid) +
                  "): a history is only kept in a file of one's own";
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        problem = Failure(file, "cannot open", errno);
    } else {
        return fd;
    }
    ::close(fd);
    return -1;
}

}  // namespace

OpenedHistory OpenHistoryForReading(const std::filesystem::path& file) {
    OpenedHistory opened;
    if (file.empty()) {
        opened.Problem = "no place for the history: neither QUENFALL_HISTORY, XDG_STATE_HOME nor HOME is set";
        return opened;
    }
    const int fd = OpenHistory(file, O_RDONLY, opened.Problem);
    if (fd < 0) {
        // No file, or no folder for it yet: nothing has been recorded.
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
            opened.Missing = true;
            opened.Problem.clear();
        }
        return opened;
    }
    opened.File.reset(::fdopen(fd, "rb"));
    if (!opened.File) {
        opened.Problem = Failure(file, "cannot open", errno);
        ::close(fd);
    }
    return opened;
}

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
    std::string problem;
    const Descriptor fd(OpenHistory(file, O_RDWR | O_APPEND | O_CREAT, problem));
    if (fd.Get() < 0) return problem;

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
