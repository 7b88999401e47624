#pragma once
// The SG_IO request for one vendor command, built apart from the ioctl that issues it so
// that tests can check direction, lengths, command block and time-out without a drive.
#include <scsi/sg.h>

#include <array>
#include <cstdint>
#include <span>

#include "protocol/vendor_command.h"

namespace quenfall {

// Header, command block and sense room together: the header points into the other two, so
// the request is built in place and never copied.
struct SgIoRequest {
    sg_io_hdr_t Header{};
    CommandBlock Block{};
    std::array<unsigned char, SenseAreaSize> Sense{};

    SgIoRequest() = default;
    SgIoRequest(const SgIoRequest&) = delete;
    SgIoRequest& operator=(const SgIoRequest&) = delete;
};

// Write: data out of exactly data.size() bytes, no data phase when empty. Read: data in of
// exactly data.size() bytes into data (the caller zeroes it first). The data is not copied:
// it must outlive the ioctl.
void BuildSgIoRequest(SgIoRequest& request, VendorCommand command,
                      std::span<const std::uint8_t> data);

}  // namespace quenfall
