#include "platform/linux/udev_devices.h"

#include <filesystem>
#include <system_error>

namespace quenfall {

void ForEachBlockDevice(const char* devType, const std::function<void(udev_device*)>& each) {
    UdevPtr<udev> context(udev_new());
    if (!context) return;
    UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
    if (!enumeration) return;
    udev_enumerate_add_match_subsystem(enumeration.get(), "block");
    if (devType != nullptr) udev_enumerate_add_match_property(enumeration.get(), "DEVTYPE", devType);
    if (udev_enumerate_scan_devices(enumeration.get()) < 0) return;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        UdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (device) each(device.get());
    }
}

UdevPtr<udev_device> GenericDeviceOf(udev_device* scsi) {
    std::error_code error;
    const std::filesystem::path list = std::filesystem::path(UdevText(udev_device_get_syspath(scsi))) / "scsi_generic";
    for (std::filesystem::directory_iterator it(list, error), end; !error && it != end; it.increment(error)) {
        UdevPtr<udev_device> generic(udev_device_new_from_subsystem_sysname(
            udev_device_get_udev(scsi), "scsi_generic", it->path().filename().c_str()));
        if (generic && udev_device_get_devnode(generic.get())) return generic;
    }
    return nullptr;
}

}  // namespace quenfall
