#pragma once
// The radio's drive on the platform this program was built for. This is the interface each
// OS binding implements, in one file per platform chosen by the build:
// link/linux/linux_platform_link.cpp, link/windows/windows_platform_link.cpp, and
// link/none/no_platform_link.cpp for a system without a binding. Each binding keeps its
// seams in files of the same roles: the drive list and opening (*_device_link), the command
// transport (*_command_channel), the USB watch (*_usb_watch).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/drive_list_link.h"

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
