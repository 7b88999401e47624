#pragma once
// The seam between the upgrade and the radio's drive. This is the interface that each
// platform binding (Linux, Windows) and the emulated radio implement. Every call blocks the
// calling thread until it returns; all calls come from one thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "protocol/command_sizes.h"
#include "upgrade/command_outcome.h"

namespace quenfall {

// An opened radio drive. Closing it is destroying it.
class DeviceChannel {
public:
    virtual ~DeviceChannel() = default;
    // One vendor write command carrying exactly data.size() bytes (no data phase for 0),
    // and what the system saw of it. The sequencer does not judge the radio by it: a
    // failed write shows as a missing answer.
    virtual CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) = 0;
    // Zeroes buffer, then one vendor read command of buffer.size() bytes into it. A read
    // that delivers nothing leaves zeros, which never form a valid answer.
    virtual CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) = 0;
    // For an outcome that IsRefusal: what the user can do about it, in words that may name
    // the drive. The sequencer asks after a run's first request.
    virtual std::string RefusalAdvice(const CommandOutcome& outcome) const {
        return "The system refused the radio's commands (" + DescribeCommandOutcome(true, outcome) + ").";
    }
};

// Why OpenDevice gave no channel.
enum class OpenFailure : std::uint8_t {
    None,
    NoRadio,           // no drive with the radio's identity was listed
    CannotOpen,        // listed, but the open failed (gone meanwhile, busy, ...)
    PermissionDenied,  // the system will not let this process command the drive
};

struct OpenResult {
    std::unique_ptr<DeviceChannel> Channel;  // null unless Failure is None
    OpenFailure Failure = OpenFailure::NoRadio;
    std::string Detail;  // for PermissionDenied: what the user can do about it
};

// No channel, for this reason, with what to tell the user.
inline OpenResult OpenFailed(OpenFailure failure, std::string detail) {
    OpenResult result;
    result.Failure = failure;
    result.Detail = std::move(detail);
    return result;
}

class DeviceLink {
public:
    virtual ~DeviceLink() = default;
    // Rebuilds the list of drives that carry the radio's storage identity, in the
    // platform's stable order, and returns how many there are. Nothing else.
    virtual std::uint16_t ScanDrives() = 0;
    // Opens the first drive of the last scan for reading and writing, without retry.
    virtual OpenResult OpenDevice() = 0;
};

}  // namespace quenfall
