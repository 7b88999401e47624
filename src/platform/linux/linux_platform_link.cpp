// The Linux binding of link/platform_link.h: the real system behind LinuxDeviceLink, and the
// USB watch of a program without a window.
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "platform/linux/linux_device_link.h"
#include "platform/linux/linux_usb_watch.h"
#include "platform/linux/udev_block_devices.h"
#include "platform/removable_disk_names.h"

#ifndef QUENFALL_HELPER_FROM_BINDIR
#error "QUENFALL_HELPER_FROM_BINDIR: the helper's path relative to the programs' folder"
#endif

namespace quenfall {

std::string RadioHelperPath() {
    // Never from PATH or the environment: the helper that holds the capability is the one
    // installed with this program, found from where this program itself is.
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    const std::filesystem::path program =
        n > 0 ? std::filesystem::path(std::string(self, static_cast<std::size_t>(n)))
              : std::filesystem::path("/usr/bin/quenfall");
    return (program.parent_path() / QUENFALL_HELPER_FROM_BINDIR).lexically_normal().string();
}

LinuxDriveSystem RealLinuxDriveSystem() {
    LinuxDriveSystem system;
    system.ListBlockDevices = [] { return ListUdevDisks(); };
    system.HelperPath = RadioHelperPath();
    system.StartHelper = [path = system.HelperPath] { return helper::StartHelperProcess(path); };
    return system;
}

std::string RemovableDiskName(std::size_t index) { return KernelDiskName(index); }

std::unique_ptr<PlatformDeviceLink> MakePlatformDeviceLink() {
    return std::make_unique<LinuxDeviceLink>(RealLinuxDriveSystem());
}

std::function<int()> MakeUsbEventCounter(const std::string& location) {
    auto watch = std::make_shared<LinuxUsbWatch>(nullptr, location);
    if (!watch->IsWatching()) return {};
    return [watch] { return watch->Dispatch(); };
}

}  // namespace quenfall
