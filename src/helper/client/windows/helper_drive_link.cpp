#include "helper/client/windows/helper_drive_link.h"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "helper/client/helper_command_channel.h"

namespace quenfall {

namespace {

using helper::Outcome;
using helper::Request;
using helper::RequestType;

std::string HelperRefusedAdvice(const std::string& node, int) {
    return "Windows refused the radio's commands on " + node +
           " although the radio helper runs as administrator. A security program may "
           "block them: allow quenfall-radio-helper.exe, or try another USB port.";
}

}  // namespace

std::string HelperNotStartedAdvice(const std::string& why) {
    return "The radio helper could not be started: " + why +
           ". Quenfall sends the radio's commands only through quenfall-radio-helper.exe, which "
           "needs an administrator's permission; nothing was sent to the radio. Click Upgrade "
           "again and answer Yes when Windows asks.";
}

std::string HelperEndedAdvice() {
    return "The radio helper has ended, so nothing was sent to the radio. Click Upgrade again "
           "to start it anew.";
}

HelperDriveLink::HelperDriveLink(WindowsDriveSystem system) : system_(std::move(system)) {}

std::uint16_t HelperDriveLink::ScanDrives() {
    drives_ = system_.ScanRadios();
    return static_cast<std::uint16_t>(std::min<std::size_t>(drives_.size(), std::numeric_limits<std::uint16_t>::max()));
}

OpenResult HelperDriveLink::OpenDevice() { return OpenListedDrive(0); }

OpenResult HelperDriveLink::OpenListedDrive(std::size_t index) {
    if (index >= drives_.size()) return OpenFailed(OpenFailure::NoRadio, {});
    const RadioDrive& drive = drives_[index];
    if (!helper_) {
        helper::HelperStart started = system_.OpenHelperChannel();
        if (!started.Connection) {
            return OpenFailed(OpenFailure::PermissionDenied,
                              started.Advice.empty() ? HelperNotStartedAdvice(started.Problem) : started.Advice);
        }
        if (!started.Greeting.HasRawIo) {
            return OpenFailed(OpenFailure::PermissionDenied,
                          HelperNotStartedAdvice("it runs without an administrator's rights"));
        }
        helper_ = std::move(started.Connection);
    }
    Request open;
    open.Type = RequestType::Open;
    open.Node = drive.Node;
    const auto reply = helper_->Exchange(open);
    if (!reply) {
        helper_.reset();  // the next click asks for a new connection, to a new helper if need be
        return OpenFailed(OpenFailure::PermissionDenied, HelperEndedAdvice());
    }
    switch (reply->Result) {
        case Outcome::Done: break;
        case Outcome::SystemError:
            if (reply->Error == ERROR_ACCESS_DENIED || reply->Error == ERROR_SHARING_VIOLATION) {
                return OpenFailed(OpenFailure::PermissionDenied,
                              "Windows refused the radio helper access to the radio's drive " + drive.Node +
                                  ". Close programs that use the drive (Explorer windows on it, virus "
                                  "scanners) and try again.");
            }
            return OpenFailed(OpenFailure::CannotOpen, drive.Node + ": error " + std::to_string(reply->Error));
        case Outcome::NotTheRadio:  // the letter changed hands since the scan
        case Outcome::Refused: return OpenFailed(OpenFailure::CannotOpen, reply->Text);
    }
    // The helper has checked that the opened volume is the radio and says where its disk
    // sits; commands go only to the radio at the port the scan found.
    if (reply->Text != drive.Location) {
        return OpenFailed(OpenFailure::CannotOpen, drive.Node + " is no longer the radio at " +
                                                   (drive.Location.empty() ? "this drive letter" : drive.Location));
    }
    OpenResult result;
    result.Failure = OpenFailure::None;
    result.Channel = MakeHelperChannel(helper_, drive.Node, ErrorCodes::Windows, HelperRefusedAdvice);
    return result;
}

}  // namespace quenfall
