#pragma once
// Which hotplug events mean "a USB device arrived or left". Only whole USB devices count
// (not their interfaces, not the disks behind them), and only their arrival and removal
// (not bind, unbind, change or move), so that one plug gives one notice.
#include <string_view>

namespace quenfall {

bool IsUsbDeviceArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                                 std::string_view action);

}  // namespace quenfall
