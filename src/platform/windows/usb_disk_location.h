#pragma once
// Where an opened volume's disk sits: the volume's device number, the disk interface with
// the same number (SetupAPI, disk interface class), then the device nodes from that disk up
// (configuration manager: parent, instance id, location paths), handed to UsbLocationOfDisk.
// Everything here works without administrator rights and needs no handle with access.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/windows/usb_location_path.h"

namespace quenfall {

// The chain of device nodes from the disk behind volume up to the root; empty when the
// volume has no device number or no disk interface answers to it (wine has neither for its
// drives).
std::vector<DeviceNodeRecord> DiskNodeChain(HANDLE volume);

// UsbLocationOfDisk(DiskNodeChain(volume)): "" when no location is found.
std::string UsbLocationOfVolume(HANDLE volume);

}  // namespace quenfall
