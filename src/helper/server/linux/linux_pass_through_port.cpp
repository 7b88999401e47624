#include "helper/server/linux/linux_pass_through_port.h"

#include <fcntl.h>

#include <cerrno>
#include <utility>

#include "helper/server/linux/pass_through_linux.h"

namespace quenfall::helper {

LinuxPassThrough::LinuxPassThrough(HelperKernel kernel) : kernel_(std::move(kernel)) {}

bool LinuxPassThrough::HoldsCommandRight() const {
    return kernel_.InInitialUserNamespace() && kernel_.HasRawIoCapability();
}

Reply LinuxPassThrough::Open(const std::string& node) {
    // There a user may have mounted a sysfs of their own making, and the kernel honours
    // none of the helper's capabilities anyway.
    if (!kernel_.InInitialUserNamespace()) {
        return ReplyOf(Outcome::Refused, 0,
                      "the radio helper runs in a user namespace of its own (a container?), "
                      "where it cannot tell what a device node is");
    }
    const int path = kernel_.OpenPath(node);
    if (path < 0) return ReplyOf(Outcome::SystemError, -path);
    const RadioNodeFacts facts = kernel_.Describe(path);
    if (std::string why = WhyNotTheRadio(facts); !why.empty()) {
        kernel_.Close(path);
        return ReplyOf(Outcome::NotTheRadio, 0, node + ": " + why);
    }
    // O_NONBLOCK: a drive that reports no medium still opens, and the commands need none.
    // A write-protected disk refuses a read-write open; its commands work read-only too.
    int fd = kernel_.Reopen(path, O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd == -EROFS) fd = kernel_.Reopen(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    kernel_.Close(path);
    if (fd < 0) return ReplyOf(Outcome::SystemError, -fd);
    // The device number may have passed to another device between the look and the open
    // (the radio unplugged, another disk in its place): what is open must still be the
    // radio that was judged.
    const RadioNodeFacts opened = kernel_.Describe(fd);
    if (std::string why = WhyNotTheRadio(opened); !why.empty() || opened.DiskPath != facts.DiskPath) {
        kernel_.Close(fd);
        return ReplyOf(Outcome::NotTheRadio, 0,
                      node + ": " + (why.empty() ? "changed hands while it was opened" : why));
    }
    fd_ = fd;
    // Where the radio's disk sits, so that the caller can tell one radio of a crate from
    // another that took over the node's name.
    return ReplyOf(Outcome::Done, 0, facts.DiskPath);
}

CommandOutcome LinuxPassThrough::Issue(VendorCommand command, std::span<const std::uint8_t> data) {
    PassThroughRequest request;
    BuildPassThrough(request, command, data);
    if (const int rc = kernel_.SgIo(fd_, request.Header); rc < 0) {
        return OutcomeOfSystemError(-rc, ErrorCodes::Posix);
    }
    return OutcomeOfPassThrough(request);
}

void LinuxPassThrough::Close() {
    if (fd_ >= 0) kernel_.Close(fd_);
    fd_ = -1;
}

}  // namespace quenfall::helper
