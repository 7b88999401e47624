#pragma once
// The radio helper's work, apart from its process: it answers one request at a time
// against a HelperKernel, so that tests run it in-process against a fake kernel and the
// helper program runs it against the real one.
#include <scsi/sg.h>

#include <functional>
#include <string>

#include "link/linux/helper_protocol.h"
#include "link/linux/radio_node_check.h"

namespace quenfall::helper {

struct HelperKernel {
    // open(2): the descriptor, or -errno.
    std::function<int(const std::string& node, int flags)> Open;
    // What sysfs says of the device behind the descriptor (fstat's device number).
    std::function<RadioNodeFacts(int fd)> Describe;
    // ioctl(fd, SG_IO, header): 0, or -errno.
    std::function<int(int fd, sg_io_hdr_t& header)> SgIo;
    std::function<void(int fd)> Close;
    // CAP_SYS_RAWIO in the effective set: needed for vendor commands through a disk node.
    std::function<bool()> HasRawIoCapability;
};

class RadioHelperService {
public:
    explicit RadioHelperService(HelperKernel kernel);
    ~RadioHelperService();
    RadioHelperService(const RadioHelperService&) = delete;
    RadioHelperService& operator=(const RadioHelperService&) = delete;

    // Sent once when the helper starts.
    Hello Greeting() const;
    // Every request gets a reply. Open opens the node and keeps it only when it is the
    // radio; Write and Read issue the vendor commands on it. A refused request changes
    // nothing.
    Reply Handle(const Request& request);

private:
    Reply Open(const std::string& node);
    Reply Write(const std::vector<std::uint8_t>& frame);
    Reply Read(std::uint32_t length);

    HelperKernel kernel_;
    int fd_ = -1;
};

}  // namespace quenfall::helper
