#include "upgrade/command_outcome.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quenfall {

namespace {

// sg's DRIVER_SENSE: the driver only tells that sense data came back.
constexpr std::uint16_t DriverSenseOnly = 0x08;

std::string Hex(unsigned value, int digits) {
    char text[12];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string SenseText(const CommandOutcome& outcome) {
    if (outcome.SenseLength == 0) return {};
    std::string text = ", sense";
    for (std::uint8_t b : outcome.SenseBytes()) text += ' ' + Hex(b, 2);
    return text;
}

}  // namespace

CommandOutcome OutcomeOfStatus(std::uint8_t scsiStatus, std::uint16_t hostStatus,
                               std::uint16_t driverStatus, std::span<const std::uint8_t> sense) {
    CommandOutcome outcome;
    outcome.ScsiStatus = scsiStatus;
    outcome.HostStatus = hostStatus;
    outcome.DriverStatus = driverStatus;
    if (hostStatus != 0 || (driverStatus & ~DriverSenseOnly) != 0) {
        outcome.Result = CommandResult::TransportError;
    } else if (scsiStatus != 0) {
        outcome.Result = CommandResult::DeviceStatus;
    } else {
        return CommandOutcome{};
    }
    outcome.SenseLength = static_cast<std::uint8_t>(std::min(sense.size(), MaxSenseLength));
    std::copy_n(sense.begin(), outcome.SenseLength, outcome.Sense.begin());
    return outcome;
}

CommandOutcome OutcomeOfSystemError(std::int32_t error, ErrorCodes codes) {
    CommandOutcome outcome;
    outcome.Result = CommandResult::SystemError;
    outcome.Codes = codes;
    outcome.Error = error;
    return outcome;
}

CommandOutcome ChannelGoneOutcome() {
    CommandOutcome outcome;
    outcome.Result = CommandResult::ChannelGone;
    return outcome;
}

bool IsRefusal(const CommandOutcome& outcome) {
    if (outcome.Result != CommandResult::SystemError) return false;
    // Windows says ERROR_ACCESS_DENIED (5) where a POSIX system says EPERM or EACCES.
    if (outcome.Codes == ErrorCodes::Windows) return outcome.Error == 5;
    return outcome.Error == EPERM || outcome.Error == EACCES;
}

std::string DescribeCommandOutcome(bool written, const CommandOutcome& outcome) {
    std::string line = written ? "write: " : "read: ";
    switch (outcome.Result) {
        case CommandResult::Good: return line + "good";
        case CommandResult::DeviceStatus:
            return line + "the radio answered with SCSI status 0x" + Hex(outcome.ScsiStatus, 2) + SenseText(outcome);
        case CommandResult::TransportError:
            return line + "the transport failed the command (host status 0x" + Hex(outcome.HostStatus, 4) +
                   ", driver status 0x" + Hex(outcome.DriverStatus, 4) + ", SCSI status 0x" +
                   Hex(outcome.ScsiStatus, 2) + ')' + SenseText(outcome);
        case CommandResult::SystemError:
            if (outcome.Codes == ErrorCodes::Windows) {
                return line + "the system failed the command (Windows error " + std::to_string(outcome.Error) + ')';
            }
            return line + "the system failed the command (error " + std::to_string(outcome.Error) + ": " +
                   std::strerror(outcome.Error) + ')';
        case CommandResult::ChannelGone: return line + "the radio helper stopped answering";
        case CommandResult::HelperRefused: return line + "the radio helper refused the request";
    }
    return line;
}

}  // namespace quenfall
