#pragma once
// Block-device records straight from libudev.
#include <vector>

#include "platform/linux/drive_selection.h"

namespace quenfall {

// Every whole disk of the block subsystem.
std::vector<BlockDeviceRecord> ListUdevDisks();

}  // namespace quenfall
