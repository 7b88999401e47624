#include "link/linux/radio_helper_service.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "link/helper_protocol/helper_request_check.h"
#include "link/linux/sg_io_request.h"

namespace quenfall::helper {

namespace {

// What the kernel said of a command it carried out: the device's status, the host adapter's
// and the driver's, and the sense data written, for the client to report.
void KeepStatus(const SgIoRequest& request, Reply& reply) {
    reply.ScsiStatus = request.Header.status;
    reply.HostStatus = request.Header.host_status;
    reply.DriverStatus = request.Header.driver_status;
    const std::size_t sense = std::min<std::size_t>(request.Header.sb_len_wr, request.Sense.size());
    reply.Sense.assign(request.Sense.begin(), request.Sense.begin() + static_cast<std::ptrdiff_t>(sense));
}

Reply Result(Outcome outcome, int error = 0, std::string text = {}) {
    Reply reply;
    reply.Result = outcome;
    reply.Error = error;
    reply.Text = std::move(text);
    return reply;
}

}  // namespace

RadioHelperService::RadioHelperService(HelperKernel kernel) : kernel_(std::move(kernel)) {}

RadioHelperService::~RadioHelperService() {
    if (fd_ >= 0) kernel_.Close(fd_);
}

Hello RadioHelperService::Greeting() const {
    return Hello{ProtocolVersion, kernel_.InInitialUserNamespace() && kernel_.HasRawIoCapability()};
}

Reply RadioHelperService::Handle(const Request& request) {
    if (std::string why = WhyRequestRefused(request, fd_ >= 0); !why.empty()) {
        return Result(Outcome::Refused, 0, std::move(why));
    }
    // WhyRequestRefused lets only the three known requests through.
    if (request.Type == RequestType::Open) return Open(request.Node);
    if (request.Type == RequestType::Write) return Write(request.Data);
    return Read(request.ReadLength);
}

Reply RadioHelperService::Open(const std::string& node) {
    // There a user may have mounted a sysfs of their own making, and the kernel honours
    // none of the helper's capabilities anyway.
    if (!kernel_.InInitialUserNamespace()) {
        return Result(Outcome::Refused, 0,
                      "the radio helper runs in a user namespace of its own (a container?), "
                      "where it cannot tell what a device node is");
    }
    const int path = kernel_.OpenPath(node);
    if (path < 0) return Result(Outcome::SystemError, -path);
    const RadioNodeFacts facts = kernel_.Describe(path);
    if (std::string why = WhyNotTheRadio(facts); !why.empty()) {
        kernel_.Close(path);
        return Result(Outcome::NotTheRadio, 0, node + ": " + why);
    }
    // O_NONBLOCK: a drive that reports no medium still opens, and the commands need none.
    // A write-protected disk refuses a read-write open; its commands work read-only too.
    int fd = kernel_.Reopen(path, O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd == -EROFS) fd = kernel_.Reopen(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    kernel_.Close(path);
    if (fd < 0) return Result(Outcome::SystemError, -fd);
    // The device number may have passed to another device between the look and the open
    // (the radio unplugged, another disk in its place): what is open must still be the
    // radio that was judged.
    const RadioNodeFacts opened = kernel_.Describe(fd);
    if (std::string why = WhyNotTheRadio(opened); !why.empty() || opened.DiskPath != facts.DiskPath) {
        kernel_.Close(fd);
        return Result(Outcome::NotTheRadio, 0,
                      node + ": " + (why.empty() ? "changed hands while it was opened" : why));
    }
    fd_ = fd;
    // Where the radio's disk sits, so that the caller can tell one radio of a crate from
    // another that took over the node's name.
    return Result(Outcome::Done, 0, facts.DiskPath);
}

Reply RadioHelperService::Write(const std::vector<std::uint8_t>& frame) {
    SgIoRequest request;
    BuildSgIoRequest(request, VendorCommand::Write, frame);
    const int rc = kernel_.SgIo(fd_, request.Header);
    if (rc < 0) return Result(Outcome::SystemError, -rc);
    Reply reply = Result(Outcome::Done);
    KeepStatus(request, reply);
    return reply;
}

Reply RadioHelperService::Read(std::uint32_t length) {
    Reply reply = Result(Outcome::Done);
    reply.Data.assign(length, 0);
    SgIoRequest request;
    BuildSgIoRequest(request, VendorCommand::Read, reply.Data);
    if (const int rc = kernel_.SgIo(fd_, request.Header); rc < 0) {
        // Whatever a failed command left in the buffer is not an answer.
        reply.Data.assign(length, 0);
        reply.Result = Outcome::SystemError;
        reply.Error = -rc;
    } else {
        KeepStatus(request, reply);
    }
    return reply;
}

}  // namespace quenfall::helper
