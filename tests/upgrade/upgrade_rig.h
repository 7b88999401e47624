#pragma once
// A sequencer and a device watch wired to a virtual clock, a recording view and a scripted
// radio link, as the window wires them to its own.
#include <gtest/gtest.h>

#include <memory>

#include "upgrade/device_watch.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "run_rig.h"
#include "upgrade_fakes.h"

namespace quenfall::test {

inline constexpr std::chrono::milliseconds Ticks(std::int64_t n) { return n * TickInterval; }

struct Rig {
    explicit Rig(const ProfileSelection& selection)
        : link(selection, clock.NowFunction()),
          sequencer(link, view, clock),
          watch(link, view, clock, sequencer) {
        clock.SetDispatch(TimerDispatch(sequencer, watch));
    }

    bool AnySequencerTimerOn() const {
        return quenfall::AnySequencerTimerOn(clock);
    }
    int SequencerTimersOn() const {
        int on = 0;
        for (TimerId id : SequencerTimers) on += clock.IsOn(id) ? 1 : 0;
        return on;
    }
    // Runs until the run has ended (nothing of the sequencer on, Busy clear) or the limit.
    bool RunToEnd(std::chrono::milliseconds limit = std::chrono::minutes(10)) {
        return test::RunToEnd(clock, sequencer, limit);
    }
    // Every ending of a run: no sequencer timer on, Busy clear, the drive closed.
    void ExpectEnded() const {
        EXPECT_FALSE(AnySequencerTimerOn());
        EXPECT_FALSE(sequencer.Busy());
        EXPECT_EQ(sequencer.State().Channel, nullptr);
        EXPECT_EQ(link.OpenChannels(), 0);
        EXPECT_EQ(sequencer.State().PollTicks, 0);
        EXPECT_EQ(sequencer.State().RetryCount, 0);
    }

    VirtualClock clock;
    RecordView view;
    ScriptedLink link;
    UpgradeSequencer sequencer;
    DeviceWatch watch;
};

}  // namespace quenfall::test
