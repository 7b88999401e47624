// The real-time timer bank keeps the bank's contract and a grid of due times that waking
// late never shifts. The checks look at due times, never at how long anything took.
#include "upgrade/realtime_timers.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace quenfall {
namespace {

using namespace std::chrono_literals;

TEST(RealtimeTimers, HandOversKeepAGridOfTenMillisecondsWhateverTheHandlersCost) {
    RealtimeTimers timers;
    std::vector<RealtimeTimers::Clock::time_point> due;
    int n = 0;
    timers.SetDispatch([&](TimerId id) {
        due.push_back(*timers.FiringTime());
        // Stop and wait: each firing hands over to the other timer, as the upload does. It
        // runs a little after its due time, always.
        timers.SwitchOff(id);
        if (++n < 20) timers.SwitchOn(id == TimerId::Check ? TimerId::Update : TimerId::Check);
    });
    const auto start = RealtimeTimers::Clock::now();
    timers.SwitchOn(TimerId::Check);
    timers.RunUntil([] { return false; });
    ASSERT_EQ(due.size(), 20u);
    EXPECT_GE(due[0], start + 10ms);
    // Counted from the wake-up instead, every step would be 10 ms and some microseconds.
    for (std::size_t i = 1; i < due.size(); ++i) {
        EXPECT_GE(due[i] - due[i - 1], 10ms) << i;
        EXPECT_EQ((due[i] - due[i - 1]) % 10ms, 0ms) << i;
    }
    EXPECT_EQ(timers.FiringTime(), std::nullopt);
}

TEST(RealtimeTimers, SwitchingOnARunningTimerDoesNotRestartItsPeriod) {
    RealtimeTimers timers;
    std::vector<RealtimeTimers::Clock::time_point> due;
    timers.SetDispatch([&](TimerId id) {
        due.push_back(*timers.FiringTime());
        timers.SwitchOn(id);  // already on: changes nothing
        if (due.size() == 3) timers.SwitchOff(id);
    });
    timers.SwitchOn(TimerId::ExitBootMode);
    std::this_thread::sleep_for(4ms);
    const auto again = RealtimeTimers::Clock::now();
    timers.SwitchOn(TimerId::ExitBootMode);
    timers.RunUntil([] { return false; });
    ASSERT_EQ(due.size(), 3u);
    EXPECT_LT(due[0], again + 10ms) << "due one period after the first SwitchOn";
    EXPECT_EQ((due[2] - due[0]) % 10ms, 0ms);
    EXPECT_FALSE(timers.IsOn(TimerId::ExitBootMode));
}

TEST(RealtimeTimers, ATimerSwitchedOffByAnotherHandlerDoesNotFire) {
    RealtimeTimers timers;
    std::vector<TimerId> fired;
    timers.SetDispatch([&](TimerId id) {
        fired.push_back(id);
        timers.SwitchOff(TimerId::EnterTunerMode);
        timers.SwitchOff(TimerId::EnterModeSure);
    });
    timers.SwitchOn(TimerId::EnterModeSure);
    std::this_thread::sleep_for(1ms);
    timers.SwitchOn(TimerId::EnterTunerMode);
    EXPECT_TRUE(timers.Step());
    EXPECT_FALSE(timers.Step()) << "nothing left on";
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], TimerId::EnterModeSure) << "switched on first, due first";
}

TEST(RealtimeTimers, AFiringLateByMoreThanAPeriodFiresOnceAndKeepsTheGrid) {
    RealtimeTimers timers;
    std::vector<RealtimeTimers::Clock::time_point> due;
    RealtimeTimers::Clock::time_point woke{};
    timers.SetDispatch([&](TimerId id) {
        due.push_back(*timers.FiringTime());
        if (due.size() == 1) {
            woke = RealtimeTimers::Clock::now();
            std::this_thread::sleep_for(35ms);  // as the completion pause blocks
        }
        if (due.size() == 3) timers.SwitchOff(id);
    });
    timers.SwitchOn(TimerId::Connect);
    timers.SwitchOff(TimerId::Connect);
    timers.SwitchOn(TimerId::Check);
    timers.RunUntil([] { return false; });
    ASSERT_EQ(due.size(), 3u);
    // The next due time is taken when the firing wakes, before its handler blocks: one period
    // on, or, when a loaded machine woke it later than that, the first grid point after waking.
    EXPECT_GE(due[1] - due[0], 10ms);
    EXPECT_EQ((due[1] - due[0]) % 10ms, 0ms) << "on the grid";
    // Within a period of waking (MinGW's sleep can wake a millisecond early), never after the
    // 35 ms that its handler blocked.
    EXPECT_LT(due[1], woke + 20ms) << "the late firing keeps its due time";
    const auto step = due[2] - due[1];
    EXPECT_GE(step, 30ms) << "the firings missed meanwhile are dropped, not caught up";
    EXPECT_EQ(step % 10ms, 0ms) << "still on the grid";
}

}  // namespace
}  // namespace quenfall

// ---- the timer bank's contract, in real time -------------------------------------------------

#include "timer_bank_contract.h"

namespace quenfall {
namespace {

class RealtimeRig : public test::TimerBankRig {
public:
    TimerBank& Bank() override { return timers_; }
    void SetDispatch(std::function<void(TimerId)> dispatch) override { timers_.SetDispatch(std::move(dispatch)); }
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) override {
        const auto end = RealtimeTimers::Clock::now() + limit;
        while (!done()) {
            if (RealtimeTimers::Clock::now() >= end) return false;
            if (!timers_.StepBefore(end)) {
                // Nothing on, or nothing due before the limit.
                while (RealtimeTimers::Clock::now() < end) std::this_thread::sleep_until(end);
                return done();
            }
        }
        return true;
    }
    std::chrono::milliseconds Elapsed() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(RealtimeTimers::Clock::now() - start_);
    }

private:
    RealtimeTimers timers_;
    RealtimeTimers::Clock::time_point start_ = RealtimeTimers::Clock::now();
};

std::unique_ptr<test::TimerBankRig> MakeRealtimeRig() { return std::make_unique<RealtimeRig>(); }

using test::TimerBankContract;
INSTANTIATE_TEST_SUITE_P(RealtimeTimers, TimerBankContract, ::testing::Values(&MakeRealtimeRig), test::RigName);

TEST(RealtimeTimers, StepBeforeTheLimitRunsNothingDueAfterIt) {
    RealtimeTimers timers;
    int fired = 0;
    timers.SetDispatch([&](TimerId) { ++fired; });
    EXPECT_FALSE(timers.StepBefore(RealtimeTimers::Clock::now() + 1h)) << "nothing on: at once";
    timers.SwitchOn(TimerId::Connect);
    const auto limit = RealtimeTimers::Clock::now() + 20ms;
    EXPECT_FALSE(timers.StepBefore(limit));
    EXPECT_GE(RealtimeTimers::Clock::now(), limit);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(timers.IsOn(TimerId::Connect));
}

}  // namespace
}  // namespace quenfall
