// quenfall-radio-helper: the one program of Quenfall that may hold CAP_SYS_RAWIO. The
// window and quenfall-cli start it with a socket as its standard input and output and ask
// it, in the protocol of helper_protocol.h, to open the radio's node and to send the
// radio's two vendor commands. It reads nothing else: no arguments, no environment, no
// files but its own uid_map, the node it is asked to open (opened for reading and
// writing only once its type and sysfs identity say it is the radio) and that node's
// sysfs attributes.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "helper/helper_protocol.h"
#include "helper/server/linux/linux_pass_through_port.h"
#include "helper/server/radio_helper_service.h"
#include "helper/server/linux/raw_io_capability.h"
#include "helper/server/linux/user_namespace.h"

namespace {

using namespace quenfall;
using namespace quenfall::helper;

constexpr int RequestsIn = 0;
constexpr int RepliesOut = 1;

helper::NodeKind KindOf(const struct stat& status) {
    if (S_ISBLK(status.st_mode)) return NodeKind::Block;
    if (S_ISCHR(status.st_mode) && major(status.st_rdev) == ScsiGenericMajor) return NodeKind::ScsiGeneric;
    return NodeKind::Other;
}

HelperKernel RealKernel() {
    HelperKernel kernel;
    kernel.OpenPath = [](const std::string& node) {
        const int fd = ::open(node.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    };
    kernel.Describe = [](int fd) {
        struct stat status {};
        if (::fstat(fd, &status) != 0) return RadioNodeFacts{};
        return ReadRadioNodeFacts("/sys", KindOf(status), major(status.st_rdev), minor(status.st_rdev),
                                  SysfsSource::KernelOnly);
    };
    kernel.Reopen = [](int pathFd, int flags) {
        const std::string self = "/proc/self/fd/" + std::to_string(pathFd);
        const int fd = ::open(self.c_str(), flags);
        if (fd < 0) return -errno;
        // The same file, or nothing.
        struct stat named {}, opened {};
        if (::fstat(pathFd, &named) != 0 || ::fstat(fd, &opened) != 0 || named.st_dev != opened.st_dev ||
            named.st_ino != opened.st_ino || named.st_rdev != opened.st_rdev) {
            ::close(fd);
            return -ENXIO;
        }
        return fd;
    };
    kernel.SgIo = [](int fd, sg_io_hdr_t& header) { return ::ioctl(fd, SG_IO, &header) == 0 ? 0 : -errno; };
    kernel.Close = [](int fd) { ::close(fd); };
    kernel.HasRawIoCapability = [] { return ProcessHasRawIoCapability(); };
    kernel.InInitialUserNamespace = [] { return InInitialUserNamespace(); };
    return kernel;
}

// False at the end of the input or on a read error.
bool ReadExactly(std::uint8_t* into, std::size_t n) {
    while (n > 0) {
        const ssize_t got = ::read(RequestsIn, into, n);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        into += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteMessage(const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> message;
    const auto prefix = LengthPrefix(body.size());
    message.insert(message.end(), prefix.begin(), prefix.end());
    message.insert(message.end(), body.begin(), body.end());
    const std::uint8_t* from = message.data();
    std::size_t n = message.size();
    while (n > 0) {
        const ssize_t put = ::write(RepliesOut, from, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        from += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

int main() {
    // Whatever the starting program left open is not the helper's business.
    ::close_range(3, ~0U, 0);
    // Started with a standard descriptor closed, the helper would open the radio's node
    // there, and whatever goes to that descriptor (a crash message to stderr) would go to
    // the radio.
    for (int standard = 0; standard <= 2; ++standard) {
        if (::fcntl(standard, F_GETFD) < 0 && errno == EBADF && ::open("/dev/null", O_RDWR) != standard) return 2;
    }
    // A client that went away shows as a failed write, not as a signal.
    std::signal(SIGPIPE, SIG_IGN);

    RadioHelperService service(std::make_unique<LinuxPassThrough>(RealKernel()));
    if (!WriteMessage(EncodeHello(service.Greeting()))) return 1;
    std::vector<std::uint8_t> body;
    for (;;) {
        std::array<std::uint8_t, LengthPrefixSize> prefix{};
        if (!ReadExactly(prefix.data(), prefix.size())) return 0;  // the client closed its end
        const auto length = AnnouncedLength(prefix);
        if (!length) return 2;  // not our protocol: stop rather than guess
        body.resize(*length);
        if (!ReadExactly(body.data(), body.size())) return 2;
        if (!WriteMessage(EncodeReply(service.Handle(DecodeRequest(body))))) return 0;
    }
}
