#pragma once
// What the drive scan and the doctor both read from libudev: owned handles, attribute text,
// the block devices as they stand and the sg driver's device under a SCSI device.
#include <libudev.h>

#include <functional>
#include <memory>
#include <string>

namespace quenfall {

struct UdevUnref {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevUnref>;

// An attribute or property udev may not have: empty then.
inline std::string UdevText(const char* value) { return value ? std::string(value) : std::string(); }

// Every device of the block subsystem, of devType only when one is given. A device that went
// away since the listing is skipped; without udev there is none.
void ForEachBlockDevice(const char* devType, const std::function<void(udev_device*)>& each);

// The sg driver lists its node under the SCSI device: <scsi device>/scsi_generic/sgN. The
// first such device that has a node; null when there is none.
UdevPtr<udev_device> GenericDeviceOf(udev_device* scsi);

}  // namespace quenfall
