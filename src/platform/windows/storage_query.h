#pragma once
// The storage query on a device handle, and the elevation of this process: what both the
// scan and the radio helper ask of the system.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace quenfall {

// The storage descriptor a device handle answers with (only the bytes the driver wrote);
// empty when the query fails. Needs no access on the handle.
std::vector<std::uint8_t> QueryStorageDescriptor(HANDLE device);

// Whether this process runs with an administrator's token.
bool ProcessIsElevated();

}  // namespace quenfall
