#pragma once
// A link that lists every radio it finds and can open any of them, not only the first: what
// a run per radio needs. The platform bindings and the emulated crate implement it; a run
// reaches its one radio through a LocatedDeviceLink over it (link/located_device_link.h).
// Every call blocks the calling thread; one object is used by one thread at a time.
#include <cstddef>
#include <string>
#include <vector>

#include "upgrade/device_link.h"

namespace quenfall {

// One drive that carries the radio's identity, as the last scan found it.
struct RadioDrive {
    std::string Node;      // "/dev/sdb" on Linux, "\\.\F:" on Windows
    // Where the radio is plugged in, the same across its restart into boot mode while the
    // device name may change: the USB port chain on Linux ("1-1.2"). Empty when the
    // platform cannot tell; such a drive is followed by its node.
    std::string Location;
    std::string Vendor;    // exactly as the device reports it, blanks included
    std::string Model;
    std::string Serial = {};  // the USB device's serial number, where the system gives one
};

class DriveListLink : public DeviceLink {
public:
    // The drives of the last scan, in the order OpenDevice uses.
    virtual std::vector<RadioDrive> ListedDrives() const = 0;
    // Opens drive index of the last scan, as OpenDevice opens drive 0.
    virtual OpenResult OpenListedDrive(std::size_t index) = 0;
};

}  // namespace quenfall
