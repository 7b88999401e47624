#pragma once
// Which hotplug events the device watch reacts to on Linux: the arrival and removal of a
// whole USB device, and of a whole disk. The disk matters because the kernel's USB storage
// driver waits (delay_use, 1 s by default) before it looks for the disk behind a new USB
// device: the report that follows the USB device's arrival may not find the radio's disk
// yet, the one that follows the disk's arrival does. Interfaces, partitions, and the other
// actions (bind, unbind, change, move) never count.
#include <string_view>

namespace quenfall {

bool IsUsbDeviceArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                                 std::string_view action);
bool IsDiskArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                            std::string_view action);
// Either of the two: what the watch reacts to.
bool IsWatchedArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                               std::string_view action);

}  // namespace quenfall
