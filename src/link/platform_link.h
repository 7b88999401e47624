#pragma once
// The radio's drive on the platform this program was built for. Exactly one binding is
// built (src/link/linux or src/link/windows); both implement this header.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "upgrade/drive_list_link.h"

namespace quenfall {

class PlatformDeviceLink : public DriveListLink {
public:
    // Empty when this process may send the radio's vendor commands; otherwise what the user
    // must do first. OpenDevice refuses with the same text; asking early lets a front end
    // say so before anything is sent.
    virtual std::string PermissionProblem() const = 0;
};

// Null on a platform without a binding.
std::unique_ptr<PlatformDeviceLink> MakePlatformDeviceLink();

// For a program without a window: each call returns how many USB devices (and, on Linux,
// whole disks) arrived or left since the last one, without waiting. Empty where the platform
// tells only windows of them. With a location (RadioDrive::Location), only the device at
// that location counts: the watch of one radio in a crate hears of its radio, not of the
// others' restarts.
std::function<int()> MakeUsbEventCounter(const std::string& location = {});

}  // namespace quenfall
