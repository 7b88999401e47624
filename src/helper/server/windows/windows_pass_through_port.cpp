#include "helper/server/windows/windows_pass_through_port.h"

#include <utility>

#include "platform/windows/storage_descriptor.h"

namespace quenfall::helper {

WindowsPassThrough::WindowsPassThrough(WindowsHelperSystem system, std::string refusal)
    : system_(std::move(system)), refusal_(std::move(refusal)) {}

void WindowsPassThrough::Close() {
    if (drive_ != INVALID_HANDLE_VALUE) system_.Close(drive_);
    drive_ = INVALID_HANDLE_VALUE;
}

Reply WindowsPassThrough::Open(const std::string& volume) {
    Close();
    if (!refusal_.empty()) return ReplyOf(Outcome::Refused, 0, refusal_);
    const OpenedDrive opened = system_.OpenDrive(std::wstring(volume.begin(), volume.end()));
    if (opened.Handle == INVALID_HANDLE_VALUE) {
        return ReplyOf(Outcome::SystemError, static_cast<std::int32_t>(opened.Error));
    }
    // Asked of the handle the commands will use, not of an earlier probe: the letter may have
    // changed hands since the client's scan.
    // The client's scan checked the bus and the drive type too, but the client is not trusted:
    // this process alone holds the right to send the commands, so it checks all of it itself.
    const char* why = nullptr;
    switch (CheckRadioDrive(system_.QueryDescriptor(opened.Handle))) {
        case RadioDriveCheck::Radio: break;
        case RadioDriveCheck::NotTheRadio: why = "its storage identity differs"; break;
        case RadioDriveCheck::NotOnUsb: why = "it is not on the USB bus"; break;
        case RadioDriveCheck::NotRemovable: why = "it does not hold removable media"; break;
    }
    if (why != nullptr) {
        system_.Close(opened.Handle);
        return ReplyOf(Outcome::NotTheRadio, 0, volume + ": not the radio (" + why + ")");
    }
    drive_ = opened.Handle;
    return ReplyOf(Outcome::Done, 0, system_.Location(drive_));
}

// Windows' pass-through reports no host or driver status: a transport failure shows as a
// failed request.
CommandOutcome WindowsPassThrough::Issue(VendorCommand command, std::span<const std::uint8_t> data) {
    PassThroughRequest request;
    BuildPassThrough(request, command, data);
    if (const DWORD error = system_.PassThrough(drive_, request); error != 0) {
        return OutcomeOfSystemError(static_cast<std::int32_t>(error), ErrorCodes::Windows);
    }
    return OutcomeOfPassThrough(request);
}

}  // namespace quenfall::helper
