#include "helper/server/linux/pass_through_linux.h"

#include <algorithm>

namespace quenfall {

void BuildPassThrough(PassThroughRequest& request, VendorCommand command,
                      std::span<const std::uint8_t> data) {
    request.Header = sg_io_hdr_t{};
    request.Sense.fill(0);
    request.Block = VendorCommandBlock(command);

    sg_io_hdr_t& h = request.Header;
    h.interface_id = 'S';
    h.cmd_len = static_cast<unsigned char>(request.Block.size());
    h.cmdp = request.Block.data();
    h.mx_sb_len = static_cast<unsigned char>(request.Sense.size());
    h.sbp = request.Sense.data();
    h.timeout = static_cast<unsigned int>(VendorCommandTimeout.count());
    h.dxfer_len = static_cast<unsigned int>(data.size());
    if (data.empty()) {
        h.dxfer_direction = SG_DXFER_NONE;
        h.dxferp = nullptr;
    } else {
        h.dxfer_direction = command == VendorCommand::Write ? SG_DXFER_TO_DEV : SG_DXFER_FROM_DEV;
        // The kernel only reads through this pointer for a data-out transfer.
        h.dxferp = const_cast<std::uint8_t*>(data.data());
    }
}

CommandOutcome OutcomeOfPassThrough(const PassThroughRequest& request) {
    const std::size_t sense = std::min<std::size_t>(request.Header.sb_len_wr, request.Sense.size());
    return OutcomeOfStatus(request.Header.status, request.Header.host_status, request.Header.driver_status,
                           std::span<const std::uint8_t>(request.Sense.data(), sense));
}

}  // namespace quenfall
