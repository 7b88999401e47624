#pragma once
// One vendor command as an SG_IO request, built apart from the ioctl that issues it so that
// tests can check direction, lengths, command block and time-out without a drive. The
// Windows pass-through (server/windows/pass_through_windows.h) has the same steps under the
// same names.
#include <scsi/sg.h>

#include <array>
#include <cstdint>
#include <span>

#include "protocol/vendor_command.h"
#include "upgrade/command_outcome.h"

namespace quenfall {

// Header, command block and sense room together: the header points into the other two, so
// the request is built in place and never copied.
struct PassThroughRequest {
    sg_io_hdr_t Header{};
    CommandBlock Block{};
    std::array<unsigned char, SenseAreaSize> Sense{};

    PassThroughRequest() = default;
    PassThroughRequest(const PassThroughRequest&) = delete;
    PassThroughRequest& operator=(const PassThroughRequest&) = delete;
};

// Write: data out of exactly data.size() bytes, no data phase when empty. Read: data in of
// exactly data.size() bytes into data (the caller zeroes it first). The data is not copied:
// it must outlive the ioctl.
void BuildPassThrough(PassThroughRequest& request, VendorCommand command,
                      std::span<const std::uint8_t> data);

// What the kernel said of a command it carried out: the device's status, the host
// adapter's and the driver's, and the sense data written.
CommandOutcome OutcomeOfPassThrough(const PassThroughRequest& request);

}  // namespace quenfall
