#pragma once
// What the system saw of one vendor command, as the platform's channel reports it: one of
// four things happened. The command went through with good status; the device answered
// with another status (and sense data); the host adapter or its driver failed it (the
// transport); or the system failed or refused it (an OS error). A channel whose radio
// helper is gone reports that instead. The sequencer never decides from it (the radio's
// answer is judged only by its bytes); it is kept for the trace, the user and support.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "protocol/command_sizes.h"

namespace quenfall {

enum class CommandResult : std::uint8_t {
    Good,
    DeviceStatus,    // ScsiStatus is not good; Sense holds what the device said, if anything
    TransportError,  // HostStatus or DriverStatus tell what failed between us and the device
    SystemError,     // Error holds the system's error number (Codes says whose)
    ChannelGone,     // the radio helper stopped answering; every later command goes nowhere
    HelperRefused,   // the radio helper would not perform the request
};

// Whose numbers Error is in.
enum class ErrorCodes : std::uint8_t { Posix, Windows };

struct CommandOutcome {
    CommandResult Result = CommandResult::Good;
    ErrorCodes Codes = ErrorCodes::Posix;
    std::int32_t Error = 0;
    std::uint8_t ScsiStatus = 0;
    std::uint16_t HostStatus = 0;
    std::uint16_t DriverStatus = 0;
    std::uint8_t SenseLength = 0;
    std::array<std::uint8_t, MaxSenseLength> Sense{};

    bool Good() const { return Result == CommandResult::Good; }
    std::span<const std::uint8_t> SenseBytes() const { return {Sense.data(), SenseLength}; }
    friend bool operator==(const CommandOutcome&, const CommandOutcome&) = default;
};

// The status a pass-through returned: a transport failure when host or driver status say
// so (a driver status that only says "sense data follows" does not), else the device's
// status. Sense is kept for every outcome but a good one, at most MaxSenseLength bytes.
CommandOutcome OutcomeOfStatus(std::uint8_t scsiStatus, std::uint16_t hostStatus,
                               std::uint16_t driverStatus, std::span<const std::uint8_t> sense);
CommandOutcome OutcomeOfSystemError(std::int32_t error, ErrorCodes codes);
CommandOutcome ChannelGoneOutcome();

// The system refused the command outright: not a radio that failed to answer, but a
// refusal no retry changes (a container, a security policy): EPERM or EACCES, or
// Windows' ERROR_ACCESS_DENIED.
bool IsRefusal(const CommandOutcome& outcome);

// One line for a person: "write: " or "read: " and what happened, with the numbers.
std::string DescribeCommandOutcome(bool written, const CommandOutcome& outcome);

}  // namespace quenfall
