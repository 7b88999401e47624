#pragma once
// The command transport on Windows: each vendor command of an opened radio drive as one
// SCSI pass-through request (helper/server/windows/pass_through_windows.h) on the drive's handle.
#include <windows.h>

#include <memory>

#include "upgrade/device_link.h"

namespace quenfall {

// Takes ownership of handle, an opened drive; closing the channel closes it.
std::unique_ptr<DeviceChannel> MakePassThroughChannel(HANDLE handle);

}  // namespace quenfall
