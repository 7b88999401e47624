#pragma once
// A sequencer driven over virtual timers: its timers handed to it, a run taken to its end,
// and a view that shows nothing, for the tests that run upgrades without reading the window.
#include <chrono>
#include <string_view>

#include "upgrade/timer_bank.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/upgrade_view.h"
#include "upgrade/virtual_clock.h"

namespace quenfall::test {

// A view that records nothing: nothing it is told may cost a test's count of allocations.
struct QuietView : UpgradeView {
    void SetStatusText(std::string_view) override {}
    void SetProgressWidth(int) override {}
    void SetSuccessIconVisible(bool) override {}
    void SetFailureIconVisible(bool) override {}
    void ShowInfo(std::string_view) override {}
    void ShowError(std::string_view, std::string_view) override {}
    void Pause(std::chrono::milliseconds) override {}
};

// Every timer of clock fires into sequencer alone, with no device watch (the sequencer
// passes over the watch's own timer).
inline void HandTimersTo(VirtualClock& clock, UpgradeSequencer& sequencer) {
    clock.SetDispatch([&sequencer](TimerId id) { sequencer.OnTimer(id); });
}

// A run has ended, whichever way: nothing of the sequencer on, Busy clear.
inline bool RunEnded(const TimerBank& timers, const UpgradeSequencer& sequencer) {
    return !AnySequencerTimerOn(timers) && !sequencer.Busy();
}

// Fires clock's timers until the run has ended; false when limit passes first.
inline bool RunToEnd(VirtualClock& clock, const UpgradeSequencer& sequencer, std::chrono::milliseconds limit) {
    return clock.RunUntil([&] { return RunEnded(clock, sequencer); }, limit);
}

// Fires clock's timers until no sequencer timer is on any more; false when limit passes first.
inline bool RunWhileSequencerTimersOn(VirtualClock& clock, std::chrono::milliseconds limit) {
    return clock.RunUntil([&] { return !AnySequencerTimerOn(clock); }, limit);
}

}  // namespace quenfall::test
