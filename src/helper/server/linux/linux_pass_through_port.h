#pragma once
// The Linux helper's pass-through port: SG_IO on a node that names the radio's disk or its
// SCSI generic device, through a HelperKernel, so that tests run the helper against a fake
// kernel and the helper program against the real one.
#include <scsi/sg.h>

#include <functional>
#include <string>

#include "helper/server/linux/radio_node_check.h"
#include "helper/server/pass_through_port.h"

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

class LinuxPassThrough final : public PassThroughPort {
public:
    explicit LinuxPassThrough(HelperKernel kernel);

    // A device path; one node per helper, opened once.
    NodeNaming Naming() const override { return NodeNaming::DevicePath; }
    // Outside the system's user namespace the helper holds no capability that the kernel
    // honours, whatever capget says.
    bool HoldsCommandRight() const override;
    bool IsOpen() const override { return fd_ >= 0; }
    // Names the node without opening it, judges what it names, and opens it for reading and
    // writing only when it is the radio (so nothing else is ever opened: no symlink's
    // target, FIFO, file or other device); then checks that what is open is still the radio
    // that was judged. Outside the system's user namespace every Open is refused.
    Reply Open(const std::string& node) override;
    CommandOutcome Issue(VendorCommand command, std::span<const std::uint8_t> data) override;
    void Close() override;

private:
    HelperKernel kernel_;
    int fd_ = -1;
};

}  // namespace quenfall::helper
