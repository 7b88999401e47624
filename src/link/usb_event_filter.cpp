#include "link/usb_event_filter.h"

namespace quenfall {

namespace {

bool IsArrivalOrRemoval(std::string_view action) { return action == "add" || action == "remove"; }

}  // namespace

bool IsUsbDeviceArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                                 std::string_view action) {
    return subsystem == "usb" && devtype == "usb_device" && IsArrivalOrRemoval(action);
}

bool IsDiskArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                            std::string_view action) {
    return subsystem == "block" && devtype == "disk" && IsArrivalOrRemoval(action);
}

bool IsWatchedArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                               std::string_view action) {
    return IsUsbDeviceArrivalOrRemoval(subsystem, devtype, action) ||
           IsDiskArrivalOrRemoval(subsystem, devtype, action);
}

}  // namespace quenfall
