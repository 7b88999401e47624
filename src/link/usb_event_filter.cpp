#include "link/usb_event_filter.h"

namespace quenfall {

bool IsUsbDeviceArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                                 std::string_view action) {
    return subsystem == "usb" && devtype == "usb_device" &&
           (action == "add" || action == "remove");
}

}  // namespace quenfall
