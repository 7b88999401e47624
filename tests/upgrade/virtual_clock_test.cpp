// The virtual clock keeps the timer bank's contract.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "upgrade/virtual_clock.h"

namespace quenfall {
namespace {

using std::chrono::milliseconds;

struct Recorder {
    VirtualClock clock;
    std::vector<std::pair<long long, TimerId>> fired;
    std::function<void(TimerId)> then;
    Recorder() {
        clock.SetDispatch([this](TimerId id) {
            fired.emplace_back(clock.Now().count(), id);
            if (then) then(id);
        });
    }
};

TEST(VirtualClock, FirstFiringOnePeriodAfterSwitchOnAndTiesInTimerOrder) {
    Recorder r;
    r.clock.SwitchOn(TimerId::Update);
    r.clock.SwitchOn(TimerId::Check);
    r.clock.SwitchOn(TimerId::Connect);
    r.clock.RunFor(milliseconds(20));
    using P = std::pair<long long, TimerId>;
    EXPECT_EQ(r.fired, (std::vector<P>{{10, TimerId::Check}, {10, TimerId::Update},
                                       {20, TimerId::Check}, {20, TimerId::Update}}));
    r.clock.RunFor(milliseconds(980));
    EXPECT_EQ(r.clock.Firings(TimerId::Connect), 1u);
    EXPECT_EQ(r.clock.Firings(TimerId::Check), 100u);
    EXPECT_EQ(r.clock.Now(), milliseconds(1000));
}

TEST(VirtualClock, SwitchOnOfARunningTimerKeepsItsPeriod) {
    Recorder r;
    r.clock.SwitchOn(TimerId::Connect);
    r.clock.RunFor(milliseconds(700));
    r.clock.SwitchOn(TimerId::Connect);
    r.clock.RunFor(milliseconds(300));
    ASSERT_EQ(r.fired.size(), 1u);
    EXPECT_EQ(r.fired[0].first, 1000);
}

TEST(VirtualClock, SwitchOffInsideAHandlerCancelsComingFirings) {
    Recorder r;
    r.then = [&](TimerId id) {
        r.clock.SwitchOff(id);
        if (id == TimerId::Check) r.clock.SwitchOn(TimerId::Update);
    };
    r.clock.SwitchOn(TimerId::Check);
    r.clock.RunFor(milliseconds(100));
    using P = std::pair<long long, TimerId>;
    EXPECT_EQ(r.fired, (std::vector<P>{{10, TimerId::Check}, {20, TimerId::Update}}));
    EXPECT_FALSE(r.clock.Step());
}

TEST(VirtualClock, RunUntilStopsAtThePredicateOrTheLimit) {
    Recorder r;
    r.clock.SwitchOn(TimerId::Check);
    EXPECT_TRUE(r.clock.RunUntil([&] { return r.fired.size() == 5; }, milliseconds(1000)));
    EXPECT_EQ(r.clock.Now(), milliseconds(50));
    EXPECT_FALSE(r.clock.RunUntil([] { return false; }, milliseconds(95)));
    EXPECT_EQ(r.clock.Now(), milliseconds(140));
    EXPECT_EQ(r.fired.size(), 14u);
}

TEST(VirtualClock, AdvanceLetsDueTimersFireLateOnce) {
    Recorder r;
    r.clock.SwitchOn(TimerId::Check);
    r.clock.Advance(milliseconds(2000));
    r.clock.RunFor(milliseconds(0));
    ASSERT_EQ(r.fired.size(), 1u);
    EXPECT_EQ(r.fired[0].first, 2000);
    r.clock.RunFor(milliseconds(10));
    EXPECT_EQ(r.fired.size(), 2u);
}

}  // namespace
}  // namespace quenfall

// ---- the timer bank's contract, on virtual time ----------------------------------------------

#include "timer_bank_contract.h"

namespace quenfall {
namespace {

class VirtualRig : public test::TimerBankRig {
public:
    TimerBank& Bank() override { return clock_; }
    void SetDispatch(std::function<void(TimerId)> dispatch) override { clock_.SetDispatch(std::move(dispatch)); }
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) override {
        const std::chrono::milliseconds end = clock_.Now() + limit;
        if (clock_.RunUntil(done, limit)) return true;
        // Time passes to the limit even where nothing fires.
        clock_.RunFor(end - clock_.Now());
        return done();
    }
    std::chrono::milliseconds Elapsed() override { return clock_.Now(); }

private:
    VirtualClock clock_;
};

std::unique_ptr<test::TimerBankRig> MakeVirtualRig() { return std::make_unique<VirtualRig>(); }

using test::TimerBankContract;
INSTANTIATE_TEST_SUITE_P(VirtualClock, TimerBankContract, ::testing::Values(&MakeVirtualRig), test::RigName);

}  // namespace
}  // namespace quenfall
