#pragma once
// One radio of a crate, followed by where it is plugged in: the DeviceLink of one run. Its
// scan looks for the bound radio alone, so the sequencer's "open the first drive of the last
// scan" opens that radio, under whatever device name it came back after its restart, and
// never another radio that took its old name. The radio's absence reads as no radio at all,
// for the sequencer's restart wait and for the device watch alike.
#include <memory>
#include <optional>

#include "platform/drive_list_link.h"

namespace quenfall {

class LocatedDeviceLink final : public DeviceLink {
public:
    // drives is this run's own: its scans are not shared with other runs.
    LocatedDeviceLink(std::unique_ptr<DriveListLink> drives, RadioDrive bound);

    // 1 when the bound radio is among the drives found now, 0 otherwise.
    std::uint16_t ScanDrives() override;
    // Opens the bound radio as the last scan found it.
    OpenResult OpenDevice() override;

    // The bound radio's node at the last scan that found it.
    const std::string& LastNode() const { return lastNode_; }

private:
    std::unique_ptr<DriveListLink> drives_;
    RadioDrive bound_;
    std::optional<std::size_t> index_;
    std::string lastNode_;
};

}  // namespace quenfall
