#pragma once
// The radio's drive on Linux: removable SCSI disks found through libudev; the vendor
// commands sent by the radio helper (quenfall-radio-helper), a separate small program that
// alone may hold CAP_SYS_RAWIO. This process opens no device node and holds no capability.
// Every call into the system goes through LinuxDriveSystem, so that tests replace the
// kernel and the helper with fakes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/drive_selection.h"
#include "helper/client/linux/helper_process.h"
#include "platform/platform.h"

namespace quenfall {

struct LinuxDriveSystem {
    // Every whole disk of the block subsystem, described by libudev.
    std::function<std::vector<BlockDeviceRecord>()> ListBlockDevices;
    // Starts one radio helper (one per opened drive).
    std::function<helper::HelperStart()> StartHelper;
    // Where the radio helper is, for the advice.
    std::string HelperPath;
};

// The real system: libudev, and the helper installed beside this program.
LinuxDriveSystem RealLinuxDriveSystem();
// The helper's place relative to the running program: the installed layout
// (<prefix>/bin/.. -> <prefix>/libexec/quenfall/), which the build tree copies.
std::string RadioHelperPath();

// Advice, in plain words, for what stops the commands: the node cannot be opened (the udev
// rule), the helper cannot be started, the helper lacks the capability a disk node needs
// (and, in link/linux/linux_command_channel.h, the system refused a command outright).
std::string NodeAccessAdvice(const std::string& disk, const std::string& node);
std::string HelperMissingAdvice(const std::string& helperPath, const std::string& why);
std::string RawIoAdvice(const std::string& helperPath);

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
