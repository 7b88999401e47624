#include "platform/linux/udev_block_devices.h"

#include "platform/drive_location.h"
#include "platform/linux/udev_devices.h"

namespace quenfall {

namespace {

BlockDeviceRecord RecordOf(udev_device* device) {
    BlockDeviceRecord record;
    record.DevNode = UdevText(udev_device_get_devnode(device));
    record.SysName = UdevText(udev_device_get_sysname(device));
    record.DevType = UdevText(udev_device_get_devtype(device));
    record.Removable = UdevText(udev_device_get_sysattr_value(device, "removable"));
    record.Location = LocationFromDevPath(UdevText(udev_device_get_devpath(device)));
    // The parent is owned by device; it must not be unreferenced here.
    if (udev_device* scsi =
            udev_device_get_parent_with_subsystem_devtype(device, "scsi", "scsi_device")) {
        record.Vendor = UdevText(udev_device_get_sysattr_value(scsi, "vendor"));
        record.Model = UdevText(udev_device_get_sysattr_value(scsi, "model"));
        if (const UdevPtr<udev_device> generic = GenericDeviceOf(scsi)) {
            record.GenericNode = udev_device_get_devnode(generic.get());
        }
    }
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device")) {
        record.Serial = UdevText(udev_device_get_sysattr_value(usb, "serial"));
    }
    return record;
}

}  // namespace

std::vector<BlockDeviceRecord> ListUdevDisks() {
    std::vector<BlockDeviceRecord> records;
    ForEachBlockDevice("disk", [&records](udev_device* device) { records.push_back(RecordOf(device)); });
    return records;
}

}  // namespace quenfall
