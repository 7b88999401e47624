#include "helper/client/linux/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace quenfall::helper {

namespace {

using Clock = std::chrono::steady_clock;

// Waits until fd is ready for events or the deadline passes.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, static_cast<int>(left.count()));
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0) return false;
        return true;  // readable, writable, or closed: the read or write tells which
    }
}

bool SendAll(int fd, const std::uint8_t* data, std::size_t n, Clock::time_point deadline) {
    while (n > 0) {
        if (!WaitFor(fd, POLLOUT, deadline)) return false;
        const ssize_t put = ::send(fd, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (put <= 0) return false;
        data += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

bool ReceiveAll(int fd, std::uint8_t* into, std::size_t n, Clock::time_point deadline) {
    while (n > 0) {
        if (!WaitFor(fd, POLLIN, deadline)) return false;
        const ssize_t got = ::recv(fd, into, n, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) return false;  // end of stream: the helper is gone
        into += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

// Receives one message's body into body, whose room is reused.
bool ReceiveMessage(int fd, Clock::time_point deadline, std::vector<std::uint8_t>& body) {
    std::array<std::uint8_t, LengthPrefixSize> prefix{};
    if (!ReceiveAll(fd, prefix.data(), prefix.size(), deadline)) return false;
    const auto length = AnnouncedLength(prefix);
    if (!length) return false;
    body.resize(*length);
    return ReceiveAll(fd, body.data(), body.size(), deadline);
}

class ProcessConnection final : public HelperConnection {
public:
    ProcessConnection(pid_t pid, int socket, HelperDeadlines deadlines)
        : pid_(pid), socket_(socket), deadlines_(deadlines) {}
    ~ProcessConnection() override { End(false); }
    ProcessConnection(const ProcessConnection&) = delete;
    ProcessConnection& operator=(const ProcessConnection&) = delete;

    std::optional<Reply> Exchange(const Request& request) override {
        Reply reply;
        if (!ExchangeInto(request, reply)) return std::nullopt;
        return reply;
    }

    bool ExchangeInto(const Request& request, Reply& reply) override {
        if (socket_ < 0) return false;
        EncodeRequestInto(request, sent_);
        const auto prefix = LengthPrefix(sent_.size());
        const auto deadline = Clock::now() + deadlines_.Reply;
        const bool answered = SendAll(socket_, prefix.data(), prefix.size(), deadline) &&
                              SendAll(socket_, sent_.data(), sent_.size(), deadline) &&
                              ReceiveMessage(socket_, deadline, received_) && DecodeReplyInto(received_, reply);
        if (!answered) End(true);
        return answered;
    }

    std::optional<Hello> Greeting() {
        std::optional<Hello> hello;
        if (ReceiveMessage(socket_, Clock::now() + deadlines_.Start, received_)) hello = DecodeHello(received_);
        if (!hello || hello->Version != ProtocolVersion) {
            End(true);
            return std::nullopt;
        }
        return hello;
    }

private:
    // Closing the socket ends a healthy helper by itself; one that failed us, or does not
    // end soon, is killed. A helper that even a kill cannot end (stuck in the kernel) is
    // left behind rather than waited for.
    void End(bool failed) {
        if (socket_ >= 0) {
            ::close(socket_);
            socket_ = -1;
        }
        if (pid_ <= 0) return;
        if (!failed && Reaped(std::chrono::milliseconds(500))) return;
        ::kill(pid_, SIGKILL);
        (void)Reaped(std::chrono::milliseconds(1000));
        pid_ = -1;
    }

    bool Reaped(std::chrono::milliseconds within) {
        const auto deadline = Clock::now() + within;
        for (;;) {
            const pid_t rc = ::waitpid(pid_, nullptr, WNOHANG);
            if (rc == pid_ || (rc < 0 && errno != EINTR)) {
                pid_ = -1;
                return true;
            }
            if (Clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    pid_t pid_;
    int socket_;
    HelperDeadlines deadlines_;
    // Reused by every exchange; room for the largest message from the start.
    std::vector<std::uint8_t> sent_ = Room();
    std::vector<std::uint8_t> received_ = Room();

    static std::vector<std::uint8_t> Room() {
        std::vector<std::uint8_t> buffer;
        buffer.reserve(MaxBodyLength);
        return buffer;
    }
};

}  // namespace

std::unique_ptr<HelperConnection> ConnectHelperSocket(int socket, int pid, HelperDeadlines deadlines) {
    return std::make_unique<ProcessConnection>(pid, socket, deadlines);
}

HelperStart StartHelperProcess(const std::string& path, HelperDeadlines deadlines) {
    HelperStart start;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        start.Problem = std::string("no socket for it: ") + std::strerror(errno);
        return start;
    }
    // The helper's end becomes its standard input and output (dup2 clears close-on-exec),
    // /dev/null its standard error: a descriptor left closed there would be the first one
    // free, and the helper would open the radio's node on it. Every other descriptor of
    // ours is closed at exec or by the helper itself.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Signals start in their default state and unblocked, whatever the host program set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char> program(path.begin(), path.end());
    program.push_back('\0');
    char* argv[] = {program.data(), nullptr};
    char* envp[] = {nullptr};
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.data(), &actions, &attributes, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    if (error != 0) {
        ::close(ends[0]);
        start.Problem = std::strerror(error);
        return start;
    }

    auto connection = std::make_unique<ProcessConnection>(pid, ends[0], deadlines);
    const auto hello = connection->Greeting();
    if (!hello) {
        start.Problem = "it ended or did not answer";
        return start;
    }
    start.Greeting = *hello;
    start.Connection = std::move(connection);
    return start;
}

}  // namespace quenfall::helper
