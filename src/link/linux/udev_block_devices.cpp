#include "link/linux/udev_block_devices.h"

#include <libudev.h>

#include <filesystem>
#include <memory>
#include <system_error>

#include "link/drive_location.h"

namespace quenfall {

namespace {

struct UdevUnref {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevUnref>;

std::string Text(const char* value) { return value ? std::string(value) : std::string(); }

// The sg driver lists its node under the SCSI device: <scsi device>/scsi_generic/sgN.
std::string GenericNodeOf(udev_device* scsi) {
    std::error_code error;
    const std::filesystem::path list =
        std::filesystem::path(Text(udev_device_get_syspath(scsi))) / "scsi_generic";
    for (std::filesystem::directory_iterator it(list, error), end; !error && it != end;
         it.increment(error)) {
        UdevPtr<udev_device> generic(udev_device_new_from_subsystem_sysname(
            udev_device_get_udev(scsi), "scsi_generic", it->path().filename().c_str()));
        if (generic && udev_device_get_devnode(generic.get())) {
            return udev_device_get_devnode(generic.get());
        }
    }
    return {};
}

BlockDeviceRecord RecordOf(udev_device* device) {
    BlockDeviceRecord record;
    record.DevNode = Text(udev_device_get_devnode(device));
    record.SysName = Text(udev_device_get_sysname(device));
    record.DevType = Text(udev_device_get_devtype(device));
    record.Removable = Text(udev_device_get_sysattr_value(device, "removable"));
    record.Location = LocationFromDevPath(Text(udev_device_get_devpath(device)));
    // The parent is owned by device; it must not be unreferenced here.
    if (udev_device* scsi =
            udev_device_get_parent_with_subsystem_devtype(device, "scsi", "scsi_device")) {
        record.Vendor = Text(udev_device_get_sysattr_value(scsi, "vendor"));
        record.Model = Text(udev_device_get_sysattr_value(scsi, "model"));
        record.GenericNode = GenericNodeOf(scsi);
    }
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device")) {
        record.Serial = Text(udev_device_get_sysattr_value(usb, "serial"));
    }
    return record;
}

}  // namespace

std::vector<BlockDeviceRecord> ListUdevDisks() {
    std::vector<BlockDeviceRecord> records;
    UdevPtr<udev> context(udev_new());
    if (!context) return records;
    UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
    if (!enumeration) return records;
    udev_enumerate_add_match_subsystem(enumeration.get(), "block");
    udev_enumerate_add_match_property(enumeration.get(), "DEVTYPE", "disk");
    if (udev_enumerate_scan_devices(enumeration.get()) < 0) return records;

    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        // A device that went away since the listing simply yields no record.
        UdevPtr<udev_device> device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (device) records.push_back(RecordOf(device.get()));
    }
    return records;
}

std::optional<BlockDeviceRecord> DescribeBlockDevice(dev_t number) {
    UdevPtr<udev> context(udev_new());
    if (!context) return std::nullopt;
    UdevPtr<udev_device> device(udev_device_new_from_devnum(context.get(), 'b', number));
    if (!device) return std::nullopt;
    return RecordOf(device.get());
}

}  // namespace quenfall
