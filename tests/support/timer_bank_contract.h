#pragma once
// The contract every TimerBank keeps (upgrade/timer_bank.h), written once and run against
// each bank: the virtual clock, the command line's real-time loop, Qt's timers and the Win32
// timer grid. A bank's test file supplies a rig (the bank, where its firings go, a way to
// let its time pass) and instantiates the suite:
//
//   INSTANTIATE_TEST_SUITE_P(Virtual, TimerBankContract, ::testing::Values(&MakeVirtualRig), RigName);
//
// Include it in one file of each test program: it defines the tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "upgrade/timer_bank.h"

namespace quenfall::test {

class TimerBankRig {
public:
    virtual ~TimerBankRig() = default;
    virtual TimerBank& Bank() = 0;
    virtual void SetDispatch(std::function<void(TimerId)> dispatch) = 0;
    // Lets the bank's time pass, its firings handled, until done() (checked between firings)
    // or until limit has passed; whether done() came true.
    virtual bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) = 0;
    // Time since the rig was made, on the bank's clock.
    virtual std::chrono::milliseconds Elapsed() = 0;

    void RunFor(std::chrono::milliseconds duration) {
        RunUntil([] { return false; }, duration);
    }
};

using TimerBankRigFactory = std::unique_ptr<TimerBankRig> (*)();

// Names the instantiation's tests by the bank alone (the default would print the factory's
// address, which changes from run to run).
inline std::string RigName(const ::testing::TestParamInfo<TimerBankRigFactory>&) { return "Rig"; }

class TimerBankContract : public ::testing::TestWithParam<TimerBankRigFactory> {
protected:
    void SetUp() override {
        rig = GetParam()();
        if (!rig) GTEST_SKIP() << "this bank cannot run here (see the rig)";
    }
    std::unique_ptr<TimerBankRig> rig;
};

inline long Count(const std::vector<TimerId>& fired, TimerId id) {
    return static_cast<long>(std::count(fired.begin(), fired.end(), id));
}

TEST_P(TimerBankContract, EveryTimerStartsOffAndIsOnFollowsTheSwitches) {
    TimerBank& bank = rig->Bank();
    for (std::size_t i = 0; i < TimerCount; ++i) EXPECT_FALSE(bank.IsOn(static_cast<TimerId>(i))) << i;
    bank.SwitchOff(TimerId::Check);  // off already: nothing happens
    EXPECT_FALSE(bank.IsOn(TimerId::Check));
    bank.SwitchOn(TimerId::Check);
    EXPECT_TRUE(bank.IsOn(TimerId::Check));
    EXPECT_FALSE(bank.IsOn(TimerId::Update));
    bank.SwitchOff(TimerId::Check);
    EXPECT_FALSE(bank.IsOn(TimerId::Check));
    std::vector<TimerId> fired;
    rig->SetDispatch([&](TimerId id) { fired.push_back(id); });
    rig->RunFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(fired.empty());
}

TEST_P(TimerBankContract, SwitchingOnARunningTimerKeepsItsPeriod) {
    TimerBank& bank = rig->Bank();
    std::chrono::milliseconds firedAt{-1};
    rig->SetDispatch([&](TimerId id) {
        if (id != TimerId::Connect) return;
        firedAt = rig->Elapsed();
        bank.SwitchOff(id);
    });
    const std::chrono::milliseconds start = rig->Elapsed();
    bank.SwitchOn(TimerId::Connect);
    rig->RunFor(std::chrono::milliseconds(700));
    ASSERT_TRUE(bank.IsOn(TimerId::Connect));
    ASSERT_LT(firedAt.count(), 0);
    bank.SwitchOn(TimerId::Connect);
    ASSERT_TRUE(rig->RunUntil([&] { return firedAt.count() >= 0; }, std::chrono::milliseconds(5000)));
    // A restarted period would fire 1700 ms after the start at the earliest.
    EXPECT_GE((firedAt - start).count(), 995);
    EXPECT_LT((firedAt - start).count(), 1650);
}

TEST_P(TimerBankContract, SwitchingOffInsideTheHandlerEndsItsFirings) {
    TimerBank& bank = rig->Bank();
    std::vector<TimerId> fired;
    rig->SetDispatch([&](TimerId id) {
        fired.push_back(id);
        if (id == TimerId::Check) bank.SwitchOff(TimerId::Check);
    });
    bank.SwitchOn(TimerId::Check);
    bank.SwitchOn(TimerId::Update);
    ASSERT_TRUE(rig->RunUntil([&] { return Count(fired, TimerId::Update) >= 5; }, std::chrono::milliseconds(5000)));
    bank.SwitchOff(TimerId::Update);
    EXPECT_EQ(Count(fired, TimerId::Check), 1);
    EXPECT_FALSE(bank.IsOn(TimerId::Check));
    EXPECT_FALSE(bank.IsOn(TimerId::Update));
    const std::size_t total = fired.size();
    rig->RunFor(std::chrono::milliseconds(50));
    EXPECT_EQ(fired.size(), total);
}

TEST_P(TimerBankContract, ATimerSwitchedOffByAnotherHandlerDoesNotFire) {
    TimerBank& bank = rig->Bank();
    std::vector<TimerId> fired;
    rig->SetDispatch([&](TimerId id) {
        fired.push_back(id);
        bank.SwitchOff(TimerId::EnterTunerMode);
        bank.SwitchOff(TimerId::EnterModeSure);
    });
    bank.SwitchOn(TimerId::EnterModeSure);
    bank.SwitchOn(TimerId::EnterTunerMode);
    ASSERT_TRUE(rig->RunUntil([&] { return !fired.empty(); }, std::chrono::milliseconds(5000)));
    rig->RunFor(std::chrono::milliseconds(50));
    // Which of two firings due together comes first is the bank's own (the real-time loop
    // keeps due order, tested there; the Win32 grid posts late firings in timer order): the
    // first switches the other off, and that one never fires.
    EXPECT_EQ(fired.size(), 1u);
}

}  // namespace quenfall::test
