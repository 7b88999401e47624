#pragma once
// The radio's drive on Windows: removable drive letters whose storage descriptor carries
// the radio's identity, vendor commands through SCSI pass-through on the drive's handle.
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace quenfall {

class WindowsDeviceLink final : public PlatformDeviceLink {
public:
    std::uint16_t ScanDrives() override;
    OpenResult OpenDevice() override;
    OpenResult OpenListedDrive(std::size_t index) override;
    std::vector<RadioDrive> ListedDrives() const override;
    std::string PermissionProblem() const override { return {}; }

    // The drive letters of the last scan, in letter order; 0 ends the list.
    const std::array<wchar_t, 33>& DriveList() const { return driveList_; }

private:
    std::array<wchar_t, 33> driveList_{};
    std::vector<RadioDrive> listed_;
};

// Empty when the opened handle answers the storage query with the radio's identity and sits
// at location (the scan's; "" when the scan found none); otherwise why not, in words that
// follow the drive's name.
std::string WhyNotTheListedRadio(HANDLE opened, const std::string& location);

// "\\.\F:" for letter F.
std::wstring DevicePath(wchar_t letter);

}  // namespace quenfall
