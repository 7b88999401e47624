#pragma once
// The radio helper's work, apart from its process: it answers one request at a time
// against a HelperKernel, so that tests run it in-process against a fake kernel and the
// helper program runs it against the real one.
#include <scsi/sg.h>

#include <functional>
#include <string>

#include "link/helper_protocol/helper_protocol.h"
#include "link/linux/radio_node_check.h"

namespace quenfall::helper {

struct HelperKernel {
    // open(node, O_PATH | O_NOFOLLOW | O_CLOEXEC): a descriptor that names the node without
    // opening it (no driver, FIFO or symlink target is touched), or -errno.
    std::function<int(const std::string& node)> OpenPath;
    // What sysfs says of the device behind a descriptor (fstat's type and device number).
    std::function<RadioNodeFacts(int fd)> Describe;
    // Opens, with flags, the very file a path descriptor names (through /proc/self/fd):
    // the descriptor, or -errno.
    std::function<int(int pathFd, int flags)> Reopen;
    // ioctl(fd, SG_IO, header): 0, or -errno.
    std::function<int(int fd, sg_io_hdr_t& header)> SgIo;
    std::function<void(int fd)> Close;
    // CAP_SYS_RAWIO in the effective set: needed for vendor commands through a disk node.
    std::function<bool()> HasRawIoCapability;
    // Whether the helper runs in the system's own user namespace (user_namespace.h).
    std::function<bool()> InInitialUserNamespace;
};

class RadioHelperService {
public:
    explicit RadioHelperService(HelperKernel kernel);
    ~RadioHelperService();
    RadioHelperService(const RadioHelperService&) = delete;
    RadioHelperService& operator=(const RadioHelperService&) = delete;

    // Sent once when the helper starts. Outside the system's user namespace the helper
    // holds no capability that the kernel honours, whatever capget says.
    Hello Greeting() const;
    // Every request gets a reply. Open names the node without opening it, judges what it
    // names, and opens it for reading and writing only when it is the radio (so nothing
    // else is ever opened: no symlink's target, FIFO, file or other device); Write and
    // Read issue the vendor commands on it. A refused request changes nothing. Outside the
    // system's user namespace every Open is refused.
    Reply Handle(const Request& request);

private:
    Reply Open(const std::string& node);
    Reply Write(const std::vector<std::uint8_t>& frame);
    Reply Read(std::uint32_t length);

    HelperKernel kernel_;
    int fd_ = -1;
};

}  // namespace quenfall::helper
