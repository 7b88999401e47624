#include "platform/linux/linux_device_link.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/drive_location.h"
#include "platform/linux/linux_command_channel.h"
#include "platform/linux/linux_doctor_checks.h"

namespace quenfall {

namespace {

using helper::Outcome;
using helper::Request;
using helper::RequestType;

// The node the commands go through: the SCSI generic node when the sg driver made one,
// since the kernel keeps a command's 2-second time-out there; the disk node otherwise.
const std::string& CommandNode(const BlockDeviceRecord& drive) {
    return drive.GenericNode.empty() ? drive.DevNode : drive.GenericNode;
}

}  // namespace

std::string NodeAccessAdvice(const std::string& disk, const std::string& node) {
    const std::string where = node == disk ? disk : disk + " (" + node + ")";
    return "The radio was found at " + where +
           ", but this user may not open it. The udev rule " + std::string(InstalledRulePath) +
           " lets the seat's user open it: install Quenfall again if the rule is missing (the package, or "
           "'sudo cmake --install' for a build from source), run 'sudo udevadm control --reload' and "
           "reconnect the radio.";
}

std::string HelperMissingAdvice(const std::string& helperPath, const std::string& why) {
    return "The radio helper " + helperPath + " could not be started (" + why +
           "). Quenfall sends the radio's commands only through it: install Quenfall again "
           "(the package, or 'sudo cmake --install' for a build from source).";
}

std::string RawIoAdvice(const std::string& helperPath) {
    return "The radio was found, but its commands can only go through its disk node, where "
           "Linux lets only a program with the raw I/O capability (CAP_SYS_RAWIO) send them, "
           "and the radio helper " + helperPath + " does not hold it. Run 'sudo setcap "
           "cap_sys_rawio+ep " + helperPath + "' once (installing the package does this), or "
           "load the SCSI generic driver with 'sudo modprobe sg' and reconnect the radio.";
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
    if (index >= drives_.size()) return OpenFailed(OpenFailure::NoRadio, {});
    const BlockDeviceRecord& drive = drives_[index];
    const std::string& node = CommandNode(drive);

    helper::HelperStart started = system_->StartHelper();
    if (!started.Connection) {
        return OpenFailed(OpenFailure::PermissionDenied, HelperMissingAdvice(system_->HelperPath, started.Problem));
    }
    Request open;
    open.Type = RequestType::Open;
    open.Node = node;
    const auto reply = started.Connection->Exchange(open);
    if (!reply) return OpenFailed(OpenFailure::CannotOpen, "the radio helper stopped answering");
    switch (reply->Result) {
        case Outcome::Done: break;
        case Outcome::SystemError:
            if (reply->Error == EACCES || reply->Error == EPERM) {
                return OpenFailed(OpenFailure::PermissionDenied, NodeAccessAdvice(drive.DevNode, node));
            }
            return OpenFailed(OpenFailure::CannotOpen, node + ": " + std::strerror(reply->Error));
        case Outcome::NotTheRadio:  // the node changed hands since the scan
        case Outcome::Refused: return OpenFailed(OpenFailure::CannotOpen, reply->Text);
    }

    // The node may have changed hands since the scan (radio unplugged, another radio of a
    // crate took its name): the helper has checked that it is a radio, and says where its
    // disk sits; vendor commands go only to the radio at the place the scan found.
    if (LocationFromDevPath(reply->Text) != drive.Location) {
        return OpenFailed(OpenFailure::CannotOpen, drive.DevNode + " is no longer the radio at " +
                                                   (drive.Location.empty() ? "this port" : drive.Location));
    }

    // Through a disk node the kernel wants the capability for vendor commands; through the
    // generic node, opened for writing, it does not.
    if (node == drive.DevNode && !started.Greeting.HasRawIo) {
        return OpenFailed(OpenFailure::PermissionDenied, RawIoAdvice(system_->HelperPath));
    }

    OpenResult result;
    result.Failure = OpenFailure::None;
    result.Channel = MakeHelperCommandChannel(std::move(started.Connection), node);
    return result;
}

std::vector<RadioDrive> LinuxDeviceLink::ListedDrives() const {
    std::vector<RadioDrive> drives;
    drives.reserve(drives_.size());
    for (const auto& d : drives_) {
        drives.push_back({d.DevNode, d.Location, std::string(WithoutLineEnd(d.Vendor)),
                          std::string(WithoutLineEnd(d.Model)), std::string(WithoutLineEnd(d.Serial))});
    }
    return drives;
}

std::string LinuxDeviceLink::PermissionProblem() const {
    const helper::HelperStart started = system_->StartHelper();
    if (!started.Connection) return HelperMissingAdvice(system_->HelperPath, started.Problem);
    const bool throughDiskNode = !drives_.empty() && drives_.front().GenericNode.empty();
    if (throughDiskNode && !started.Greeting.HasRawIo) return RawIoAdvice(system_->HelperPath);
    return {};
}

}  // namespace quenfall
