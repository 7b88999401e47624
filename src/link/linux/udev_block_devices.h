#pragma once
// Block-device records straight from libudev.
#include <sys/types.h>

#include <optional>
#include <vector>

#include "link/drive_selection.h"

namespace quenfall {

// Every whole disk of the block subsystem.
std::vector<BlockDeviceRecord> ListUdevDisks();
// The block device with this device number, whole disk or partition.
std::optional<BlockDeviceRecord> DescribeBlockDevice(dev_t number);

}  // namespace quenfall
