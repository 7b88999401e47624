#include "link/windows/helper_drive_link.h"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "link/helper_reply_outcome.h"

namespace quenfall {

namespace {

using helper::Outcome;
using helper::Reply;
using helper::Request;
using helper::RequestType;

// A helper that stops answering is a radio that stops answering: writes go nowhere and
// reads leave zeros, so the sequencer ends the run by its own time-out.
class HelperChannel final : public DeviceChannel {
public:
    HelperChannel(std::shared_ptr<helper::HelperConnection> helper, std::string node)
        : helper_(std::move(helper)), node_(std::move(node)) {
        // Room for the largest request and reply, so that no command allocates.
        request_.Data.reserve(helper::MaxAnswerLength);
        reply_.Data.reserve(helper::MaxAnswerLength);
        reply_.Text.reserve(helper::MaxTextLength);
        reply_.Sense.reserve(MaxSenseLength);
    }

    CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override {
        request_.Type = RequestType::Write;
        request_.Data.assign(data.begin(), data.end());
        return Exchange();
    }

    CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        request_.Type = RequestType::Read;
        request_.Data.clear();
        request_.ReadLength = static_cast<std::uint32_t>(buffer.size());
        const CommandOutcome outcome = Exchange();
        if (outcome.Result != CommandResult::ChannelGone && reply_.Result == Outcome::Done &&
            reply_.Data.size() == buffer.size()) {
            std::copy(reply_.Data.begin(), reply_.Data.end(), buffer.begin());
        }
        return outcome;
    }

    std::string RefusalAdvice(const CommandOutcome&) const override {
        return "Windows refused the radio's commands on " + node_ +
               " although the radio helper runs as administrator. A security program may "
               "block them: allow quenfall-radio-helper.exe, or try another USB port.";
    }

private:
    CommandOutcome Exchange() {
        if (!helper_ || !helper_->ExchangeInto(request_, reply_)) {
            helper_.reset();
            return ChannelGoneOutcome();
        }
        return OutcomeOfHelperReply(reply_, ErrorCodes::Windows);
    }

    std::shared_ptr<helper::HelperConnection> helper_;
    std::string node_;
    Request request_;
    Reply reply_;
};

OpenResult Failed(OpenFailure failure, std::string detail) {
    OpenResult result;
    result.Failure = failure;
    result.Detail = std::move(detail);
    return result;
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
    if (index >= drives_.size()) return Failed(OpenFailure::NoRadio, {});
    const RadioDrive& drive = drives_[index];
    if (!helper_) {
        helper::HelperStart started = system_.StartHelper();
        if (!started.Connection) return Failed(OpenFailure::PermissionDenied, HelperNotStartedAdvice(started.Problem));
        if (!started.Greeting.HasRawIo) {
            return Failed(OpenFailure::PermissionDenied,
                          HelperNotStartedAdvice("it runs without an administrator's rights"));
        }
        helper_ = std::move(started.Connection);
    }
    Request open;
    open.Type = RequestType::Open;
    open.Node = drive.Node;
    const auto reply = helper_->Exchange(open);
    if (!reply) {
        helper_.reset();  // the next click starts a new one
        return Failed(OpenFailure::PermissionDenied, HelperEndedAdvice());
    }
    switch (reply->Result) {
        case Outcome::Done: break;
        case Outcome::SystemError:
            if (reply->Error == ERROR_ACCESS_DENIED || reply->Error == ERROR_SHARING_VIOLATION) {
                return Failed(OpenFailure::PermissionDenied,
                              "Windows refused the radio helper access to the radio's drive " + drive.Node +
                                  ". Close programs that use the drive (Explorer windows on it, virus "
                                  "scanners) and try again.");
            }
            return Failed(OpenFailure::CannotOpen, drive.Node + ": error " + std::to_string(reply->Error));
        case Outcome::NotTheRadio:  // the letter changed hands since the scan
        case Outcome::Refused: return Failed(OpenFailure::CannotOpen, reply->Text);
    }
    // The helper has checked that the opened volume is the radio and says where its disk
    // sits; commands go only to the radio at the port the scan found.
    if (reply->Text != drive.Location) {
        return Failed(OpenFailure::CannotOpen, drive.Node + " is no longer the radio at " +
                                                   (drive.Location.empty() ? "this drive letter" : drive.Location));
    }
    OpenResult result;
    result.Failure = OpenFailure::None;
    result.Channel = std::make_unique<HelperChannel>(helper_, drive.Node);
    return result;
}

}  // namespace quenfall
