#include "link/linux/linux_device_link.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "link/linux/sg_io_request.h"

namespace quenfall {

namespace {

class LinuxDeviceChannel final : public DeviceChannel {
public:
    LinuxDeviceChannel(std::shared_ptr<const LinuxDriveSystem> system, int fd)
        : system_(std::move(system)), fd_(fd) {}
    ~LinuxDeviceChannel() override { system_->Close(fd_); }
    LinuxDeviceChannel(const LinuxDeviceChannel&) = delete;
    LinuxDeviceChannel& operator=(const LinuxDeviceChannel&) = delete;

    // The outcome of each command is dropped on purpose: the radio's answer is judged only
    // by validating the bytes read back, and a failed read leaves zeros that never validate.
    void ScsiWrite(std::span<const std::uint8_t> data) override {
        SgIoRequest request;
        BuildSgIoRequest(request, VendorCommand::Write, data);
        (void)system_->SgIo(fd_, request.Header);
    }

    void ScsiRead(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        SgIoRequest request;
        BuildSgIoRequest(request, VendorCommand::Read, buffer);
        (void)system_->SgIo(fd_, request.Header);
    }

private:
    std::shared_ptr<const LinuxDriveSystem> system_;
    int fd_;
};

OpenResult Failed(OpenFailure failure, std::string detail) {
    OpenResult result;
    result.Failure = failure;
    result.Detail = std::move(detail);
    return result;
}

}  // namespace

std::string NodeAccessAdvice(const std::string& node, const std::string& executable) {
    return "The radio was found at " + node +
           ", but this user may not open it. Install the udev rule 70-quenfall-radio.rules "
           "(from packaging/linux) into /etc/udev/rules.d, run 'sudo udevadm control --reload' "
           "and reconnect the radio. Sending the upgrade commands also needs the raw I/O "
           "capability: run 'sudo setcap cap_sys_rawio+ep " +
           executable + "' once, or run the program as root.";
}

std::string RawIoAdvice(const std::string& executable) {
    return "The radio was found, but Linux lets only programs with the raw I/O capability "
           "(CAP_SYS_RAWIO) send it the upgrade commands. Run 'sudo setcap cap_sys_rawio+ep " +
           executable + "' once and start the program again, or run it as root.";
}

LinuxDeviceLink::LinuxDeviceLink(LinuxDriveSystem system)
    : system_(std::make_shared<const LinuxDriveSystem>(std::move(system))) {}

std::uint16_t LinuxDeviceLink::ScanDrives() {
    drives_ = SelectRadioDrives(system_->ListBlockDevices());
    return static_cast<std::uint16_t>(
        std::min<std::size_t>(drives_.size(), std::numeric_limits<std::uint16_t>::max()));
}

OpenResult LinuxDeviceLink::OpenDevice() { return OpenListedDrive(0); }

OpenResult LinuxDeviceLink::OpenListedDrive(std::size_t index) {
    if (index >= drives_.size()) return Failed(OpenFailure::NoRadio, {});
    const BlockDeviceRecord& drive = drives_[index];

    // O_NONBLOCK: a card-reader-like drive that reports no medium still opens, and SG_IO
    // does not need a medium. A write-protected drive refuses a read-write open with EROFS;
    // the vendor commands work through a read-only descriptor as well.
    const int flags = O_RDWR | O_NONBLOCK | O_CLOEXEC;
    int fd = system_->Open(drive.DevNode, flags);
    if (fd == -EROFS) fd = system_->Open(drive.DevNode, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd == -EACCES || fd == -EPERM) {
        return Failed(OpenFailure::PermissionDenied,
                      NodeAccessAdvice(drive.DevNode, system_->ExecutablePath()));
    }
    if (fd < 0) {
        return Failed(OpenFailure::CannotOpen, drive.DevNode + ": " + std::strerror(-fd));
    }

    // The node may have changed hands since the scan (radio unplugged, another disk or
    // another radio of a crate took its name): vendor commands go only to a device that is
    // the radio now, at the place the scan found it.
    const auto opened = system_->DescribeOpenDevice(fd);
    if (!opened || !IsRadioDrive(*opened) || opened->Location != drive.Location) {
        system_->Close(fd);
        return Failed(OpenFailure::CannotOpen, drive.DevNode + " is no longer the radio");
    }

    if (!system_->HasRawIoCapability()) {
        system_->Close(fd);
        return Failed(OpenFailure::PermissionDenied, RawIoAdvice(system_->ExecutablePath()));
    }

    OpenResult result;
    result.Failure = OpenFailure::None;
    result.Channel = std::make_unique<LinuxDeviceChannel>(system_, fd);
    return result;
}

std::vector<RadioDrive> LinuxDeviceLink::ListedDrives() const {
    std::vector<RadioDrive> drives;
    drives.reserve(drives_.size());
    for (const auto& d : drives_) {
        drives.push_back({d.DevNode, d.Location, std::string(WithoutLineEnd(d.Vendor)),
                          std::string(WithoutLineEnd(d.Model))});
    }
    return drives;
}

std::string LinuxDeviceLink::PermissionProblem() const {
    if (system_->HasRawIoCapability()) return {};
    return RawIoAdvice(system_->ExecutablePath());
}

}  // namespace quenfall
