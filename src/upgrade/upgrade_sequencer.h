#pragma once
// The upgrade sequencer: one run from the Upgrade click to its end, as a state machine
// driven by timer ticks. It has no thread and never waits in a loop: each handler is one
// tick of a 10 ms timer, does at most one read from the radio, decides, and hands the run
// on by switching timers. The phase of a run is the one sequencer timer that is on.
#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "package/package.h"
#include "protocol/command_frame.h"
#include "upgrade/device_link.h"
#include "upgrade/timer_bank.h"
#include "upgrade/upgrade_view.h"

namespace quenfall {

// Receives the dialogue as it happens, for --trace and for tests.
class DialogueTrace {
public:
    virtual ~DialogueTrace() = default;
    virtual void FrameWritten(std::span<const std::uint8_t> frame) = 0;   // as sent (scrambled)
    virtual void AnswerAccepted(std::span<const std::uint8_t> answer) = 0;  // the 9 bytes
};

class UpgradeSequencer;  // defined by the sequencer's implementation

}  // namespace quenfall
