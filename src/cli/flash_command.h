#pragma once
// One whole upgrade from the command line, in real time: the sequencer and the device
// watch on a RealtimeTimers loop, shown by a FlashView. The radio is whatever DeviceLink
// the caller hands in: the emulated radio for --emulate, a platform link for a real radio.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "cli/flash_view.h"
#include "cli/terminal_view.h"
#include "package/package.h"
#include "upgrade/device_link.h"
#include "upgrade/upgrade_sequencer.h"

namespace quenfall::cli {

struct FlashOptions {
    DialogueTrace* Trace = nullptr;  // optional
    // Called between firings; returns how many USB arrivals and removals happened since
    // the last call (each goes to the device watch). Optional.
    std::function<int()> TakeUsbEvents;
    // The window waits for a restarted radio for ever; a command gives up after this long.
    std::chrono::milliseconds RestartGiveUp{60000};
    // Set at the end of the run to its last non-good command outcome in one line (empty
    // when every command went through). Optional.
    std::string* LastNonGood = nullptr;
};

// FlashPackage on a terminal: when the run ends in " Communication Error!" and a command of
// it did not go through, one more line after the status text names what the system saw
// of the last such command.
int FlashOnTerminal(std::shared_ptr<const Package> package, DeviceLink& link, TerminalView& view,
                    FlashOptions options);

inline constexpr std::string_view RadioDidNotReturnText =
    "The radio did not come back after restarting into boot mode.";

// Runs one upgrade of package over link. Returns 0 only when the run ended with
// " Program upgrade is complete!", 1 otherwise.
int FlashPackage(std::shared_ptr<const Package> package, DeviceLink& link, FlashView& view,
                 const FlashOptions& options);

}  // namespace quenfall::cli
