// The real system behind LinuxDeviceLink.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "link/linux/linux_device_link.h"
#include "link/linux/udev_block_devices.h"

namespace quenfall {

bool ProcessHasRawIoCapability() {
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    return (data[CAP_SYS_RAWIO / 32].effective & (1u << (CAP_SYS_RAWIO % 32))) != 0;
}

LinuxDriveSystem RealLinuxDriveSystem() {
    LinuxDriveSystem system;
    system.ListBlockDevices = [] { return ListUdevDisks(); };
    system.Open = [](const std::string& node, int flags) {
        int fd = ::open(node.c_str(), flags);
        return fd >= 0 ? fd : -errno;
    };
    system.DescribeOpenDevice = [](int fd) -> std::optional<BlockDeviceRecord> {
        struct stat status {};
        if (::fstat(fd, &status) != 0 || !S_ISBLK(status.st_mode)) return std::nullopt;
        return DescribeBlockDevice(status.st_rdev);
    };
    system.SgIo = [](int fd, sg_io_hdr_t& header) { return ::ioctl(fd, SG_IO, &header); };
    system.Close = [](int fd) { ::close(fd); };
    system.HasRawIoCapability = [] { return ProcessHasRawIoCapability(); };
    system.ExecutablePath = []() -> std::string {
        char path[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
        if (n <= 0) return "$(command -v quenfall)";
        return std::string(path, static_cast<std::size_t>(n));
    };
    return system;
}

std::unique_ptr<PlatformDeviceLink> MakePlatformDeviceLink() {
    return std::make_unique<LinuxDeviceLink>(RealLinuxDriveSystem());
}

}  // namespace quenfall
