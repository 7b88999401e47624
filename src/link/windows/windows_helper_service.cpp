#include "link/windows/windows_helper_service.h"

#include <utility>

#include "link/helper_protocol/helper_request_check.h"
#include "link/storage_descriptor.h"

namespace quenfall::helper {

namespace {

Reply Result(Outcome outcome, std::int32_t error = 0, std::string text = {}) {
    Reply reply;
    reply.Result = outcome;
    reply.Error = error;
    reply.Text = std::move(text);
    return reply;
}

// A performed command's reply carries the device's status and sense data, as the Linux
// helper's does; Windows' pass-through reports no host or driver status.
void CarryStatus(Reply& reply, const PassThroughBuffer& request) {
    const CommandOutcome outcome = OutcomeOfPassThrough(request);
    reply.ScsiStatus = outcome.ScsiStatus;
    reply.HostStatus = 0;
    reply.DriverStatus = 0;
    const auto sense = outcome.SenseBytes();
    reply.Sense.assign(sense.begin(), sense.end());
}

}  // namespace

WindowsHelperService::WindowsHelperService(WindowsHelperSystem system) : system_(std::move(system)) {}

WindowsHelperService::~WindowsHelperService() { CloseDrive(); }

void WindowsHelperService::CloseDrive() {
    if (drive_ != INVALID_HANDLE_VALUE) system_.Close(drive_);
    drive_ = INVALID_HANDLE_VALUE;
}

Hello WindowsHelperService::Greeting() const { return Hello{ProtocolVersion, system_.IsElevated()}; }

Reply WindowsHelperService::Handle(const Request& request) {
    const bool open = drive_ != INVALID_HANDLE_VALUE;
    if (std::string why = WhyRequestRefused(request, open, NodeNaming::DriveLetter); !why.empty()) {
        return Result(Outcome::Refused, 0, std::move(why));
    }
    switch (request.Type) {
        case RequestType::Open: return Open(request.Node);
        case RequestType::Write: return Write(request.Data);
        case RequestType::Read: return Read(request.ReadLength);
        case RequestType::Malformed: break;
    }
    return Result(Outcome::Refused, 0, "not a request the radio helper knows");
}

Reply WindowsHelperService::Open(const std::string& volume) {
    CloseDrive();
    const OpenedDrive opened = system_.OpenDrive(std::wstring(volume.begin(), volume.end()));
    if (opened.Handle == INVALID_HANDLE_VALUE) {
        return Result(Outcome::SystemError, static_cast<std::int32_t>(opened.Error));
    }
    // Asked of the handle the commands will use, not of an earlier probe: the letter may have
    // changed hands since the client's scan.
    if (!DescriptorIsRadio(system_.QueryDescriptor(opened.Handle))) {
        system_.Close(opened.Handle);
        return Result(Outcome::NotTheRadio, 0, volume + ": not the radio (its storage identity differs)");
    }
    drive_ = opened.Handle;
    return Result(Outcome::Done, 0, system_.Location(drive_));
}

Reply WindowsHelperService::Write(const std::vector<std::uint8_t>& frame) {
    PassThroughBuffer request;
    BuildPassThrough(request, VendorCommand::Write, frame);
    if (const DWORD error = system_.PassThrough(drive_, request); error != 0) {
        return Result(Outcome::SystemError, static_cast<std::int32_t>(error));
    }
    Reply reply = Result(Outcome::Done);
    CarryStatus(reply, request);
    return reply;
}

Reply WindowsHelperService::Read(std::uint32_t length) {
    Reply reply = Result(Outcome::Done);
    reply.Data.assign(length, 0);
    PassThroughBuffer request;
    BuildPassThrough(request, VendorCommand::Read, reply.Data);
    if (const DWORD error = system_.PassThrough(drive_, request); error != 0) {
        // Whatever a failed command left in the buffer is not an answer.
        reply.Data.assign(length, 0);
        reply.Result = Outcome::SystemError;
        reply.Error = static_cast<std::int32_t>(error);
    } else {
        CarryStatus(reply, request);
    }
    return reply;
}

}  // namespace quenfall::helper
