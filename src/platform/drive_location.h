#pragma once
// Which drive is which radio across a restart. A radio restarting into boot mode leaves the
// bus and comes back as a new disk, often under another device name (sdb comes back as
// sde), while other radios of a crate may restart too and take the freed names. What stays
// is the USB port it hangs from. Pure: the bindings feed it what the system says, tests
// feed it hand-made scans.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_list_link.h"

namespace quenfall {

// The location of a disk from its sysfs device path: the kernel's name of the USB device it
// belongs to ("1-1.2": bus 1, root port 1, hub port 2), with "/lunN" added for a logical
// unit other than 0. The same path whether or not udevd runs, and the same after the disk
// comes back, though the SCSI host and the device name are new. A disk with no USB device
// in its path keeps the whole path, which then holds as long as the path does.
//   "/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.2/1-1.2:1.0/host6/target6:0:0/6:0:0:0/block/sdb"
//   -> "1-1.2"
std::string LocationFromDevPath(std::string_view devpath);

// The drive of scan that is the radio bound: the one at its location, or, when the location
// is unknown, the one with its node. None when no drive, or more than one, qualifies: a run
// then waits or fails, but never commands a drive it cannot tell apart.
std::optional<std::size_t> FindBoundDrive(const std::vector<RadioDrive>& scan, const RadioDrive& bound);

// The drive a user names, by node or by location; none when nothing, or more than one
// drive, answers to the name.
std::optional<std::size_t> FindNamedDrive(const std::vector<RadioDrive>& scan, std::string_view name);

// Why the radios of scan cannot be run all at once: more than one radio, and one of them
// with no location (Windows keeps none for it). Such a radio can only be followed by its
// drive letter, and radios trade letters when they restart, so a run could end up on
// another radio. Empty when they can be told apart.
std::string WhyRadiosCannotBeToldApart(const std::vector<RadioDrive>& scan);

}  // namespace quenfall
