#pragma once
// One whole upgrade in real time: the sequencer and the device watch on a RealtimeTimers
// loop on the calling thread, shown by a FlashView. The radio is whatever DeviceLink the
// caller hands in: an emulated radio, a platform link, one radio of a crate.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "runs/flash_view.h"
#include "package/package.h"
#include "upgrade/device_link.h"
#include "upgrade/upgrade_sequencer.h"
#include "text/translation.h"

namespace quenfall {

struct FlashOptions {
    DialogueTrace* Trace = nullptr;  // optional
    // Called between firings; returns how many USB arrivals and removals happened since
    // the last call (each goes to the device watch). Optional.
    std::function<int()> TakeUsbEvents;
    // The window waits for a restarted radio for ever; a run of its own gives up after this long.
    std::chrono::milliseconds RestartGiveUp{60000};
    // Set at the end of the run to its last non-good command outcome in one line (empty
    // when every command went through). Optional.
    std::string* LastNonGood = nullptr;
    // Asked between firings: true ends the run at once (the user stopped the program;
    // platform/interruption.h). Optional.
    std::function<bool()> StopRequested;
    // Set at the end of the run: whether StopRequested ended it. Optional.
    bool* Stopped = nullptr;
};

// The outcome of a run that the user stopped, in its record and its summary line.
// Translators: a run's outcome when the user stopped it (Ctrl-C).
inline constexpr std::string_view InterruptedOutcome = text::Translatable("interrupted");

// Leads the line that names a failed run's last command that did not go through.
inline constexpr std::string_view LastCommandProblemLead = "The last command that did not go through: ";
// The whole line, as a person reads it, with the command's problem as {problem}.
inline constexpr std::string_view LastCommandProblemText =
    text::Translatable("The last command that did not go through: {problem}");

inline constexpr std::string_view RadioDidNotReturnText =
    "The radio did not come back after restarting into boot mode.";

// Runs one upgrade of package over link. Returns 0 only when the run ended with
// " Program upgrade is complete!", 1 otherwise (a stopped run included).
int FlashPackage(std::shared_ptr<const Package> package, DeviceLink& link, FlashView& view,
                 const FlashOptions& options);

}  // namespace quenfall
