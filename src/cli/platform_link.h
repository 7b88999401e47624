#pragma once
// The radio link of the platform the command line was built for, for `flash FILE` without
// --emulate. A build without one says so through why and returns null.
#include <functional>
#include <memory>
#include <string>

#include "upgrade/device_link.h"
#include "upgrade/drive_list_link.h"

namespace quenfall::cli {

struct PlatformLink {
    std::unique_ptr<DeviceLink> Link;
    // Returns how many USB arrivals and removals happened since the last call; may be empty.
    std::function<int()> TakeUsbEvents;
    RadioDrive Radio;  // the radio the scan found first, which the run opens
};

PlatformLink OpenPlatformLink(std::string& why);

}  // namespace quenfall::cli
