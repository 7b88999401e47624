#include "platform/located_device_link.h"

#include <utility>

#include "platform/drive_location.h"

namespace quenfall {

LocatedDeviceLink::LocatedDeviceLink(std::unique_ptr<DriveListLink> drives, RadioDrive bound)
    : drives_(std::move(drives)), bound_(std::move(bound)), lastNode_(bound_.Node) {}

std::uint16_t LocatedDeviceLink::ScanDrives() {
    drives_->ScanDrives();
    const std::vector<RadioDrive> scan = drives_->ListedDrives();
    index_ = FindBoundDrive(scan, bound_);
    if (!index_) return 0;
    lastNode_ = scan[*index_].Node;
    return 1;
}

OpenResult LocatedDeviceLink::OpenDevice() {
    if (!index_) return OpenResult{};  // Failure NoRadio
    return drives_->OpenListedDrive(*index_);
}

}  // namespace quenfall
