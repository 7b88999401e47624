#pragma once
// The radio's drive on the platform this program was built for. Exactly one binding is
// built (src/link/linux or src/link/windows); both implement this header.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "upgrade/device_link.h"

namespace quenfall {

// One drive that carries the radio's identity, as the last scan found it.
struct RadioDrive {
    std::string Node;    // "/dev/sdb" on Linux, "\\.\F:" on Windows
    std::string Vendor;  // exactly as the device reports it, blanks included
    std::string Model;
};

class PlatformDeviceLink : public DeviceLink {
public:
    // The drives of the last scan, in the order OpenDevice uses.
    virtual std::vector<RadioDrive> ListedDrives() const = 0;
    // Empty when this process may send the radio's vendor commands; otherwise what the user
    // must do first. OpenDevice refuses with the same text; asking early lets a front end
    // say so before anything is sent.
    virtual std::string PermissionProblem() const = 0;
};

// Null on a platform without a binding.
std::unique_ptr<PlatformDeviceLink> MakePlatformDeviceLink();

// For a program without a window: each call returns how many USB devices (and, on Linux,
// whole disks) arrived or left since the last one, without waiting. Empty where the platform tells only windows of them.
std::function<int()> MakeUsbEventCounter();

}  // namespace quenfall
