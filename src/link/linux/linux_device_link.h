#pragma once
// The radio's drive on Linux: removable SCSI disks found through libudev, vendor commands
// through SG_IO on the disk's block node. Every call into the system goes through
// LinuxDriveSystem, so that tests replace the kernel with fakes.
#include <scsi/sg.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/drive_selection.h"
#include "link/platform_link.h"

namespace quenfall {

struct LinuxDriveSystem {
    // Every whole disk of the block subsystem, described by libudev.
    std::function<std::vector<BlockDeviceRecord>()> ListBlockDevices;
    // open(2) of a device node: the descriptor, or -errno.
    std::function<int(const std::string& node, int flags)> Open;
    // What the descriptor really is, looked up by its device number; nothing when it is not
    // a block device the system can describe.
    std::function<std::optional<BlockDeviceRecord>(int fd)> DescribeOpenDevice;
    // ioctl(fd, SG_IO, header): 0, or -1 with errno set.
    std::function<int(int fd, sg_io_hdr_t& header)> SgIo;
    std::function<void(int fd)> Close;
    // Whether the kernel lets this process send vendor-specific commands (CAP_SYS_RAWIO in
    // its effective set).
    std::function<bool()> HasRawIoCapability;
    // The running program's path, for the advice on granting the capability.
    std::function<std::string()> ExecutablePath;
};

// The real system: libudev, open(2), ioctl(2), capget(2).
LinuxDriveSystem RealLinuxDriveSystem();
bool ProcessHasRawIoCapability();

// Advice shown when the drive's node cannot be opened, and when the capability is missing.
std::string NodeAccessAdvice(const std::string& node, const std::string& executable);
std::string RawIoAdvice(const std::string& executable);

class LinuxDeviceLink final : public PlatformDeviceLink {
public:
    explicit LinuxDeviceLink(LinuxDriveSystem system);

    std::uint16_t ScanDrives() override;
    OpenResult OpenDevice() override;
    OpenResult OpenListedDrive(std::size_t index) override;
    std::vector<RadioDrive> ListedDrives() const override;
    std::string PermissionProblem() const override;

private:
    std::shared_ptr<const LinuxDriveSystem> system_;
    std::vector<BlockDeviceRecord> drives_;  // the last scan's radios, in device-name order
};

}  // namespace quenfall
