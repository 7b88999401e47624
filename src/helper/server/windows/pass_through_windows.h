#pragma once
// One vendor command as a SCSI pass-through request. The request structure, the filler and
// the sense area share one zeroed buffer; every size and offset handed to the driver is the
// compiler's own, so 32- and 64-bit builds are both right (the structure holds a pointer:
// 44 bytes in a 32-bit build, 56 in a 64-bit one). The Linux pass-through
// (server/linux/pass_through_linux.h) has the same steps under the same names.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/vendor_command.h"
#include "upgrade/command_outcome.h"

namespace quenfall {

struct PassThroughRequest {
    SCSI_PASS_THROUGH_DIRECT Request;
    ULONG Filler;
    UCHAR Sense[SenseAreaSize];
};

#if defined(_WIN64)
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 56);
#else
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44);
static_assert(offsetof(PassThroughRequest, Sense) == 48);
static_assert(sizeof(PassThroughRequest) == 80);
#endif

// Fills request for command on data (path 0, target 1, lun 0, 2-second time-out). data is not
// copied: the driver transfers straight to or from it.
void BuildPassThrough(PassThroughRequest& request, VendorCommand command,
                      std::span<const std::uint8_t> data);

// Issues the request on handle and says what the system saw: GetLastError when the request
// failed, else the device's status and, when that is not good, its sense data. The radio's
// answer is still judged only by the bytes read back.
CommandOutcome IssuePassThrough(HANDLE handle, PassThroughRequest& request);

// The device's status and sense data of a request the system completed. Windows' pass-through
// has no host or driver status: a transport failure shows as a failed request.
CommandOutcome OutcomeOfPassThrough(const PassThroughRequest& request);

}  // namespace quenfall
