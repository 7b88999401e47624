// The time-left estimate on a clock of the test's own: the tick bound before the first
// block, the mean of the blocks measured since, the waits still ahead, and its steadiness
// when a block comes late.
#include <gtest/gtest.h>

#include <cstring>

#include "upgrade/time_left.h"
#include "upgrade/virtual_clock.h"

namespace quenfall {
namespace {

using namespace std::chrono_literals;
using Clock = TimeLeftEstimator::Clock;

TEST(TimeLeft, PhaseIsTheSequencerTimerThatIsOn) {
    VirtualClock timers;
    EXPECT_EQ(PhaseOf(timers), RunPhase::Idle);
    const std::pair<TimerId, RunPhase> cases[] = {
        {TimerId::EnterTunerMode, RunPhase::EnteringBootMode}, {TimerId::EnterModeSure, RunPhase::RadioRestarting},
        {TimerId::EnterBootCheck, RunPhase::CheckingBootMode}, {TimerId::Check, RunPhase::Uploading},
        {TimerId::Update, RunPhase::Uploading},                {TimerId::ExitBootMode, RunPhase::LeavingBootMode}};
    for (const auto& [timer, phase] : cases) {
        timers.SwitchOn(timer);
        EXPECT_EQ(PhaseOf(timers), phase) << TimerName(timer);
        timers.SwitchOff(timer);
    }
    timers.SwitchOn(TimerId::Connect);  // the device watch's report is no phase of a run
    EXPECT_EQ(PhaseOf(timers), RunPhase::Idle);
    EXPECT_EQ(PhaseText(RunPhase::RadioRestarting), "radio restarting, do not unplug");
    EXPECT_EQ(PhaseName(RunPhase::LeavingBootMode), "leaving boot mode");
}

TEST(TimeLeft, WaitsAheadAndTheTickBoundBeforeAnyBlockIsMeasured) {
    const Clock::time_point t0{};
    TimeLeftEstimator e;
    // 100 blocks at the bound of 20 ms, the restart wait, the exit answer and the pause.
    RunProgress p = EstimateRun(e, RunPhase::EnteringBootMode, 0, 100, t0);
    EXPECT_EQ(p.Left, RestartWait + TickInterval + 100 * BlockTimeBound + CompletionWait);
    EXPECT_EQ(p.Percent, 0);
    p = EstimateRun(e, RunPhase::RadioRestarting, 0, 100, t0 + 10ms);
    p = EstimateRun(e, RunPhase::RadioRestarting, 0, 100, t0 + 3010ms);
    EXPECT_EQ(p.Left, RestartWait - 3000ms + TickInterval + 100 * BlockTimeBound + CompletionWait);
    p = EstimateRun(e, RunPhase::Uploading, 0, 100, t0 + 9000ms);
    EXPECT_EQ(p.Left, 100 * BlockTimeBound + CompletionWait);
    // The radio takes 50 ms a block: the estimate climbs to that pace a step a block, and
    // after thirty blocks counts the rest at it.
    RunProgress first;
    for (int b = 1; b <= 30; ++b) {
        p = EstimateRun(e, RunPhase::Uploading, b, 100, t0 + 9000ms + b * 50ms);
        if (b == 1) first = p;
    }
    EXPECT_LT(first.Left, 99 * 50ms + CompletionWait) << "no jump at the first measurement";
    EXPECT_EQ(p.Percent, 30);
    EXPECT_NEAR(static_cast<double>(p.Left.count()), (70 * 50ms + CompletionWait).count(), 20.0);
    p = EstimateRun(e, RunPhase::LeavingBootMode, 100, 100, t0 + 20s);
    EXPECT_EQ(p.Left, CompletionWait);
    EXPECT_EQ(p.Percent, 100);
    p = EstimateRun(e, RunPhase::Ended, 100, 100, t0 + 23s);
    EXPECT_EQ(p.Left, 0ms);
}

TEST(TimeLeft, ALateBlockDoesNotMakeTheEstimateJumpBack) {
    const Clock::time_point t0{};
    TimeLeftEstimator e;
    Clock::time_point t = t0;
    RunProgress p = EstimateRun(e, RunPhase::Uploading, 0, 200, t);
    for (int b = 1; b <= 50; ++b) p = EstimateRun(e, RunPhase::Uploading, b, 200, t += 20ms);
    const auto before = p.Left;
    // One block takes a whole second (a slow answer): the mean doubles, the estimate may
    // not rise by more than its noise.
    p = EstimateRun(e, RunPhase::Uploading, 51, 200, t += 1s);
    EXPECT_LE(p.Left, before - 1s + std::max<std::chrono::milliseconds>(40ms * 2, before / 20) + 1ms);
    // Between two acknowledgements it runs down with the clock, a block's time at most.
    const auto held = EstimateRun(e, RunPhase::Uploading, 51, 200, t + 5ms).Left;
    EXPECT_LT(held, p.Left);
}

TEST(TimeLeft, ShownAlikeCountsWholeSecondsAndFormatsThem) {
    RunProgress a{RunPhase::Uploading, 10, 100, 10, 1500ms};
    RunProgress b = a;
    b.Left = 1001ms;
    EXPECT_TRUE(ShownAlike(a, b));  // both "2 s"
    b.Left = 1000ms;
    EXPECT_FALSE(ShownAlike(a, b));
    b = a;
    b.Phase = RunPhase::LeavingBootMode;
    EXPECT_FALSE(ShownAlike(a, b));
    char text[16];
    FormatTimeLeft(40, text);
    EXPECT_STREQ(text, "0:40");
    FormatTimeLeft(725, text);
    EXPECT_STREQ(text, "12:05");
    FormatTimeLeft(3723, text);
    EXPECT_STREQ(text, "1:02:03");
}

}  // namespace
}  // namespace quenfall
