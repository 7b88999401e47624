#include "helper/server/windows/pass_through_windows.h"

#include <algorithm>
#include <cstring>

namespace quenfall {

void BuildPassThrough(PassThroughRequest& request, VendorCommand command,
                      std::span<const std::uint8_t> data) {
    std::memset(&request, 0, sizeof request);
    SCSI_PASS_THROUGH_DIRECT& r = request.Request;
    r.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    r.ScsiStatus = 0;
    r.PathId = 0;
    r.TargetId = 1;
    r.Lun = 0;
    const CommandBlock block = VendorCommandBlock(command);
    r.CdbLength = static_cast<UCHAR>(block.size());
    std::memcpy(r.Cdb, block.data(), block.size());
    const bool write = command == VendorCommand::Write;
    r.SenseInfoLength = write ? WriteSenseLength : ReadSenseLength;
    r.DataIn = write ? SCSI_IOCTL_DATA_OUT : SCSI_IOCTL_DATA_IN;
    r.DataTransferLength = static_cast<ULONG>(data.size());
    r.TimeOutValue = static_cast<ULONG>(VendorCommandTimeout.count() / 1000);
    // The driver only reads through this pointer for a data-out transfer.
    r.DataBuffer = const_cast<std::uint8_t*>(data.data());
    r.SenseInfoOffset = offsetof(PassThroughRequest, Sense);
}

CommandOutcome IssuePassThrough(HANDLE handle, PassThroughRequest& request) {
    DWORD returned = 0;
    if (!DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                         sizeof request, &returned, nullptr)) {
        return OutcomeOfSystemError(static_cast<std::int32_t>(GetLastError()), ErrorCodes::Windows);
    }
    return OutcomeOfPassThrough(request);
}

CommandOutcome OutcomeOfPassThrough(const PassThroughRequest& request) {
    // The driver leaves in SenseInfoLength how much sense data it wrote.
    const std::size_t sense = std::min<std::size_t>(request.Request.SenseInfoLength, SenseAreaSize);
    return OutcomeOfStatus(request.Request.ScsiStatus, 0, 0, std::span<const std::uint8_t>(request.Sense, sense));
}

}  // namespace quenfall
