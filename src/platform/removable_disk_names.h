#pragma once
// The names each system gives removable disks, the lowest free one first: what the emulated
// crate calls its radios, so that they look like the drives of the system it runs on. Pure.
#include <cstddef>
#include <string>

namespace quenfall {

// Linux's disk driver: "/dev/sda" .. "/dev/sdz", "/dev/sdaa" ...
std::string KernelDiskName(std::size_t index);

// Windows: drive letters' volumes from E: ("\\.\E:" .. "\\.\Z:"), C: being the system's disk
// and D: often an optical drive; a disk past Z: gets no letter and is named by its number
// ("\\.\PhysicalDrive23" ...).
std::string DriveLetterName(std::size_t index);

}  // namespace quenfall
