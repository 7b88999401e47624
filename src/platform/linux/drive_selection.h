#pragma once
// Which block devices are the radio, and in which order. Pure: the Linux binding feeds it
// the records libudev yields, tests feed it hand-made ones.
#include <string>
#include <string_view>
#include <vector>

namespace quenfall {

// One block device as the system describes it. Values are sysfs attribute texts: libudev
// hands them over without the kernel's trailing newline, a raw sysfs read keeps it; both
// are accepted, and nothing else is trimmed.
struct BlockDeviceRecord {
    std::string DevNode;    // "/dev/sdb"
    std::string SysName;    // "sdb"
    std::string DevType;    // "disk" or "partition"
    std::string Removable;  // sysfs "removable" of the disk, "1" when removable
    std::string Vendor;     // sysfs "vendor" of its scsi_device parent, 8 blank-padded bytes
    std::string Model;      // sysfs "model" of its scsi_device parent, 16 blank-padded bytes
    std::string GenericNode = {};  // "/dev/sg1": the same SCSI device's generic node; empty without the sg driver
    std::string Location = {};  // LocationFromDevPath of its sysfs device path
    std::string Serial = {};    // sysfs "serial" of its USB device, where it has one
};

// The text without the line end a sysfs read leaves; blanks stay.
std::string_view WithoutLineEnd(std::string_view sysfsValue);

// A whole removable disk with a device node whose vendor and model are exactly the radio's.
bool IsRadioDrive(const BlockDeviceRecord& record);

// Kernel device-name order: shorter names first, then by bytes (sdz before sdaa).
bool DeviceNameBefore(std::string_view a, std::string_view b);

// The radio drives among records, in device-name order.
std::vector<BlockDeviceRecord> SelectRadioDrives(std::vector<BlockDeviceRecord> records);

}  // namespace quenfall
