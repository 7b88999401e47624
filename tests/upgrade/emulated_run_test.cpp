// Whole upgrade runs in virtual time against the emulated radio, with the device watch fed
// by the radio's own comings and goings, as the window is fed by the system.
#include <gtest/gtest.h>

#include <deque>

#include "emulator/emulated_radio.h"
#include "upgrade/device_watch.h"
#include "upgrade/status_texts.h"
#include "upgrade/time_left.h"
#include "upgrade/upload_plan.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "run_rig.h"
#include "upgrade_fakes.h"

namespace quenfall::test {
namespace {

using std::chrono::milliseconds;

const std::string Entering(EnteringBootModeText);
const std::string Upgrading(UpgradingText);
const std::string Complete(UpgradeCompleteText);
const std::string CommError(CommunicationErrorText);
const std::string NoDevice(NoDeviceText);
const std::string Connected(DeviceConnectedText);
const std::string Failed(UpgradeFailedText);

EmulatedRadioConfig ConfigFor(const Package& package, VirtualClock& clock) {
    EmulatedRadioConfig config;
    config.Selection = package.Selection;
    config.Now = clock.NowFunction();
    return config;
}

struct EmuRig {
    EmuRig(const Package& package, const std::function<void(EmulatedRadioConfig&)>& tune = {})
        : radio([&] {
              EmulatedRadioConfig config = ConfigFor(package, clock);
              if (tune) tune(config);
              return config;
          }()),
          sequencer(radio, view, clock),
          watch(radio, view, clock, sequencer),
          dispatch(sequencer, watch) {
        // The radio reports arrivals and removals from inside its calls; the window would
        // get them as messages after the running handler, so they are queued till then.
        radio.SetPresenceCallback([this](bool) { ++pendingChanges; });
        clock.SetDispatch([this](TimerId id) {
            dispatch(id);
            DeliverChanges();
        });
    }
    void DeliverChanges() {
        radio.Advance();  // a radio coming back on the bus shows up without being called
        while (pendingChanges > 0) {
            --pendingChanges;
            watch.OnUsbDeviceChanged();
        }
    }
    bool AnySequencerTimerOn() const {
        return quenfall::AnySequencerTimerOn(clock);
    }
    bool RunToEnd(milliseconds limit = std::chrono::minutes(30)) {
        return test::RunToEnd(clock, sequencer, limit);
    }
    void ExpectEnded() const {
        EXPECT_FALSE(AnySequencerTimerOn());
        EXPECT_FALSE(sequencer.Busy());
        EXPECT_EQ(sequencer.State().Channel, nullptr);
        EXPECT_EQ(radio.OpenChannels(), 0u);
    }

    VirtualClock clock;
    RecordView view;
    EmulatedRadio radio;
    UpgradeSequencer sequencer;
    DeviceWatch watch;
    TimerDispatch dispatch;
    int pendingChanges = 0;
};

PackageSpec ThreeSections(std::uint8_t scrambleMode) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = scrambleMode;
    spec.Sections.push_back({0, 0, Pattern(20000, 1)});
    spec.Sections.push_back({1, 1, Pattern(4096, 2)});
    spec.Sections.push_back({4, 4, Pattern(77, 3)});
    return spec;
}

TEST(EmulatedRun, RestartIntoBootModeThenEverySectionArrivesIntact) {
    for (std::uint8_t mode : {0, 1}) {
        SCOPED_TRACE(int{mode});
        const auto package = MakePackage(ThreeSections(mode));
        EmuRig rig(*package);
        rig.sequencer.Button2Click(package);
        ASSERT_TRUE(rig.RunToEnd());

        // The radio leaves after its status-3 answer (the report a second later finds it
        // away), is back after 2 s (reported), and is reopened on the 801st tick; the
        // reopening and the accepted answer after it each write the upgrading text.
        EXPECT_EQ(rig.view.Texts,
                  (std::vector<std::string>{Entering, NoDevice, Connected, Upgrading, Upgrading, Complete}));
        EXPECT_EQ(rig.radio.Restarts(), 1u);
        EXPECT_EQ(rig.radio.ExitsAnswered(), 1u);
        EXPECT_TRUE(rig.radio.Violations().empty()) << ::testing::PrintToString(rig.radio.Violations());
        EXPECT_TRUE(rig.radio.CompareSections(SectionsOf(*package)).empty())
            << ::testing::PrintToString(rig.radio.CompareSections(SectionsOf(*package)));
        EXPECT_EQ(rig.radio.Sections().at(0).FirstBlock, mode == 0 ? 4u : 0u);
        EXPECT_EQ(rig.view.Width, 0);
        EXPECT_TRUE(rig.view.SuccessIcon);
        rig.ExpectEnded();
    }
}

// What inspect reports a run will send is what the sequencer sends: the block requests
// reaching the radio against the plan, with and without the leading blocks of section 0
// left out, and for a section 0 too short to reach block 4.
TEST(EmulatedRun, BlockRequestsSentAreThoseThePlanCounts) {
    PackageSpec shortZero;
    shortZero.ModelCode = 11;
    shortZero.ScrambleMode = 0;
    shortZero.Sections = {{0, 0, Pattern(3000, 4)}, {5, 5, Pattern(4097, 5)}};
    PackageSpec noZero;
    noZero.ModelCode = 0;
    noZero.ScrambleMode = 0;
    noZero.Sections = {{3, 3, Pattern(9000, 6)}};
    const std::pair<const char*, PackageSpec> shapes[] = {
        {"three sections, mode 0", ThreeSections(0)},
        {"three sections, mode 1", ThreeSections(1)},
        {"three sections, mode 2", ThreeSections(2)},
        {"section 0 of two blocks, mode 0", shortZero},
        {"no section 0, mode 0", noZero},
    };
    std::vector<std::int32_t> sent;
    for (const auto& [name, spec] : shapes) {
        SCOPED_TRACE(name);
        const auto package = MakePackage(spec);
        EmuRig rig(*package, [](EmulatedRadioConfig& c) { c.RestartOnEnter = false; });
        rig.sequencer.Button2Click(package);
        ASSERT_TRUE(rig.RunToEnd());
        ASSERT_EQ(rig.view.Texts.back(), Complete);
        const UploadPlan plan = PlanUpload(package->Header, package->Selection.ScrambleMode);
        EXPECT_EQ(plan.TotalBlocks, package->TotalBlocks);
        // One enter request and one exit request around the blocks.
        EXPECT_EQ(rig.radio.Writes(), 2u + static_cast<std::uint32_t>(plan.SentBlocks));
        sent.push_back(plan.SentBlocks);
    }
    // 10 + 2 + 1 blocks; 4 of them left out under mode 0; 2 + 3 with one of filler for the
    // short section 0; 5.
    EXPECT_EQ(sent, (std::vector<std::int32_t>{9, 13, 13, 4, 5}));
}

TEST(EmulatedRun, RadioAlreadyInBootModeAndSecondRunAfterIt) {
    const auto package = MakePackage(ThreeSections(1));
    EmuRig rig(*package, [](EmulatedRadioConfig& c) { c.RestartOnEnter = false; });
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Texts, (std::vector<std::string>{Entering, Upgrading, Complete}));
    // Blocks 10 + 2 + 1 = 13, each in two ticks, plus the enter and exit ticks.
    EXPECT_LE(rig.clock.Now(), milliseconds(10 * (1 + 2 * 13 + 1)));
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.radio.ExitsAnswered(), 2u);
    EXPECT_TRUE(rig.radio.Violations().empty()) << ::testing::PrintToString(rig.radio.Violations());
    EXPECT_TRUE(rig.radio.CompareSections(SectionsOf(*package)).empty());
    rig.ExpectEnded();
}

TEST(EmulatedRun, SilentRadioEndsInCommunicationError) {
    const auto package = MakePackage(ThreeSections(1));
    EmuRig rig(*package);
    rig.radio.SetSilent(RequestMatch::Every(RequestKind::Enter));
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.clock.Now(), milliseconds(12000));
    EXPECT_EQ(rig.view.Status, CommError);
    EXPECT_EQ(rig.radio.Writes(), 3u);
    rig.ExpectEnded();
}

TEST(EmulatedRun, LateAnswersWithinTheWindowAreTaken) {
    const auto package = MakePackage(ThreeSections(1));
    EmuRig rig(*package);
    rig.radio.SetAnswerAfterReads(398);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, Complete);
    EXPECT_TRUE(rig.radio.CompareSections(SectionsOf(*package)).empty());
    EXPECT_TRUE(rig.radio.Violations().empty()) << ::testing::PrintToString(rig.radio.Violations());
}

TEST(EmulatedRun, AnswerOneReadTooLateEndsTheRun) {
    const auto package = MakePackage(ThreeSections(1));
    EmuRig rig(*package, [](EmulatedRadioConfig& c) { c.RestartOnEnter = false; });
    rig.radio.SetAnswerAfterReads(399);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, CommError);
    EXPECT_EQ(rig.radio.Writes(), 3u);  // three enter requests, no block
    rig.ExpectEnded();
}

TEST(EmulatedRun, FaultyAnswersToABlockEndTheRunWithoutResending) {
    const AnswerFault faults[] = {AnswerFault::WrongCode, AnswerFault::BadCheckSum, AnswerFault::MissingEndMarker,
                                  AnswerFault::Status0, AnswerFault::Status5};
    for (AnswerFault fault : faults) {
        SCOPED_TRACE(static_cast<int>(fault));
        const auto package = MakePackage(ThreeSections(1));
        EmuRig rig(*package, [](EmulatedRadioConfig& c) { c.RestartOnEnter = false; });
        // Request 4 of the radio's life: block 2, after the enter request and blocks 0, 1.
        rig.radio.SetFaultyAnswer(RequestMatch::NthOf(4, RequestKind::Block), fault);
        rig.sequencer.Button2Click(package);
        ASSERT_TRUE(rig.RunToEnd());
        EXPECT_EQ(rig.view.Status, CommError);
        EXPECT_EQ(rig.radio.Writes(), 1u + 3u);  // enter and blocks 0..2, none twice
        EXPECT_TRUE(rig.radio.Violations().empty()) << ::testing::PrintToString(rig.radio.Violations());
        EXPECT_EQ(rig.view.Width, 109);  // 2 of 10 + 2 + 1 blocks acknowledged
        rig.ExpectEnded();
    }
}

TEST(EmulatedRun, FaultyAnswersForAWhileAreOutwaited) {
    const auto package = MakePackage(ThreeSections(1));
    EmuRig rig(*package, [](EmulatedRadioConfig& c) { c.RestartOnEnter = false; });
    rig.radio.SetFaultyAnswer(RequestMatch::Every(RequestKind::Block), AnswerFault::BadCheckSum, 50);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, Complete);
    EXPECT_TRUE(rig.radio.CompareSections(SectionsOf(*package)).empty());
}

TEST(EmulatedRun, InterimStatusesKeepTheRunInBootEntry) {
    const auto package = MakePackage(ThreeSections(1));
    EmuRig rig(*package, [](EmulatedRadioConfig& c) { c.RestartOnEnter = false; });
    // Status 2 for 1000 reads: far more than one window, yet every read is an answer.
    rig.radio.SetInterimAnswers(RequestMatch::Every(RequestKind::Enter), 2, 1000);
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(999);
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterTunerMode));
    EXPECT_EQ(rig.radio.Writes(), 1u);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, Complete);
}

TEST(EmulatedRun, RadioDisappearingMidUploadEndsInCommunicationError) {
    for (bool comesBack : {false, true}) {
        SCOPED_TRACE(comesBack);
        const auto package = MakePackage(ThreeSections(1));
        EmuRig rig(*package, [](EmulatedRadioConfig& c) { c.RestartOnEnter = false; });
        if (comesBack) {
            rig.radio.SetDisappearAtBlock(5, milliseconds(1500));
        } else {
            rig.radio.SetDisappearAtBlock(5);
        }
        rig.sequencer.Button2Click(package);
        ASSERT_TRUE(rig.RunToEnd());
        // The watch reports the loss first (and the return, 1.5 s later); the block's window
        // then ends the run: a block is not sent again to a radio that came back.
        std::vector<std::string> expected{Entering, Upgrading, Failed, CommError};
        if (comesBack) expected.insert(expected.begin() + 3, Connected);
        EXPECT_EQ(rig.view.Texts, expected);
        EXPECT_TRUE(rig.view.FailureIcon);
        EXPECT_TRUE(rig.radio.Violations().empty()) << ::testing::PrintToString(rig.radio.Violations());
        rig.ExpectEnded();
    }
}

TEST(EmulatedRun, RadioThatNeverComesBackLeavesTheRunWaitingButIdle) {
    const auto package = MakePackage(ThreeSections(1));
    EmuRig rig(*package, [](EmulatedRadioConfig& c) { c.ReturnsAfterRestart = false; });
    rig.sequencer.Button2Click(package);
    rig.clock.RunFor(std::chrono::minutes(2));
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterModeSure));
    EXPECT_FALSE(rig.sequencer.Busy());
    EXPECT_EQ(rig.view.Status, NoDevice);
    // A click finds no radio: the box says so, and the run keeps waiting for it.
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.view.Errors, (std::vector<std::string>{std::string(CannotConnectMessage)}));
    EXPECT_EQ(rig.view.Status, NoDevice);
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterModeSure));
    EXPECT_EQ(rig.radio.Writes(), 1u);
}

TEST(EmulatedRun, ClickWhileTheRadioIsAwayRestartingKeepsTheRun) {
    const auto package = MakePackage(ThreeSections(1));
    EmuRig rig(*package);
    rig.sequencer.Button2Click(package);
    // The radio answers 3 and leaves the bus; a second later it is still away.
    rig.clock.RunFor(milliseconds(1200));
    ASSERT_TRUE(rig.clock.IsOn(TimerId::EnterModeSure));
    ASSERT_EQ(rig.radio.OpenChannels(), 1u);  // the handle from before the restart
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.view.Errors, (std::vector<std::string>{std::string(CannotConnectMessage)}));
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterModeSure));
    EXPECT_EQ(rig.radio.OpenChannels(), 1u);
    EXPECT_NE(rig.sequencer.State().Channel, nullptr);
    // The restart wait reopens the radio once it is back, and the run ends as if never
    // clicked: every section delivered, one restart, no second run begun.
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Texts,
              (std::vector<std::string>{Entering, NoDevice, Connected, Upgrading, Upgrading, Complete}));
    EXPECT_EQ(rig.radio.Restarts(), 1u);
    EXPECT_TRUE(rig.radio.Violations().empty()) << ::testing::PrintToString(rig.radio.Violations());
    EXPECT_TRUE(rig.radio.CompareSections(SectionsOf(*package)).empty());
    rig.ExpectEnded();
}

TEST(EmulatedRun, ExitNeverAnsweredIsSentThreeTimes) {
    const auto package = MakePackage(ThreeSections(1));
    EmuRig rig(*package, [](EmulatedRadioConfig& c) { c.RestartOnEnter = false; });
    rig.radio.SetSilent(RequestMatch::Every(RequestKind::Exit));
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, CommError);
    EXPECT_EQ(rig.view.Width, 710);
    EXPECT_EQ(rig.radio.Writes(), 1u + 13u + 3u);
    EXPECT_TRUE(rig.radio.CompareSections(SectionsOf(*package)).empty());
    rig.ExpectEnded();
}

// The time left announced by the run machinery, looked at after every firing as the real
// runs do, against the time that actually remained: a 1 MiB package, the radio restarting
// into boot mode first, answering every request at once or three reads late (a radio
// slower than the tick bound the estimate starts from). At each quarter of the upload the
// estimate is within 10% of what remained; it names every phase, restart included, and
// never rises by more than a little between two looks.
TEST(EmulatedRun, TimeLeftAtEachQuarterOfTheUploadIsWithinATenthOfWhatRemained) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    spec.Sections.push_back({3, 3, Pattern(1024 * 1024, 7)});
    const auto package = MakePackage(spec);
    const std::int32_t total = PlanUpload(package->Header, package->Selection.ScrambleMode).SentBlocks;
    ASSERT_EQ(total, 512);

    for (std::uint32_t late : {0u, 3u}) {
        SCOPED_TRACE(late);
        EmuRig rig(*package, [late](EmulatedRadioConfig& c) { c.Faults.AnswerAfterReads = late; });
        milliseconds paused{0};
        rig.view.OnPause = [&paused](milliseconds d) { paused += d; };
        const auto at = [&] { return TimeLeftEstimator::Clock::time_point(rig.clock.Now() + paused); };

        struct Look {
            RunProgress Progress;
            TimeLeftEstimator::Clock::time_point At;
        };
        std::vector<Look> looks;
        TimeLeftEstimator estimator;
        const auto look = [&] {
            const RunPhase phase = PhaseOf(rig.clock);
            if (phase == RunPhase::Idle) return;
            looks.push_back({EstimateRun(estimator, phase, rig.sequencer.State().BlocksDone, total, at()), at()});
        };
        rig.sequencer.Button2Click(package);
        look();
        ASSERT_TRUE(rig.clock.RunUntil(
            [&] {
                look();
                return RunEnded(rig.clock, rig.sequencer);
            },
            std::chrono::minutes(10)));
        ASSERT_TRUE(rig.view.SuccessIcon);
        const auto end = at();

        std::vector<RunPhase> phases;
        for (const Look& l : looks)
            if (phases.empty() || phases.back() != l.Progress.Phase) phases.push_back(l.Progress.Phase);
        EXPECT_EQ(phases, (std::vector<RunPhase>{RunPhase::EnteringBootMode, RunPhase::RadioRestarting,
                                                 RunPhase::CheckingBootMode, RunPhase::Uploading,
                                                 RunPhase::LeavingBootMode}));
        EXPECT_EQ(PhaseName(RunPhase::RadioRestarting), "radio restarting");

        int quarter = 1;
        for (std::size_t i = 0; i < looks.size(); ++i) {
            const Look& l = looks[i];
            if (i > 0) {
                const auto rise = l.Progress.Left - looks[i - 1].Progress.Left;
                // The noise allowed: a twentieth, or two block times of the slower radio.
                const auto allowed = std::max<milliseconds>(looks[i - 1].Progress.Left / 20, milliseconds(100));
                EXPECT_LE(rise, allowed) << "look " << i << " in " << PhaseName(l.Progress.Phase);
            }
            if (quarter <= 3 && l.Progress.Phase == RunPhase::Uploading && l.Progress.BlocksDone >= total * quarter / 4) {
                const double remained = std::chrono::duration<double>(end - l.At).count();
                const double announced = std::chrono::duration<double>(l.Progress.Left).count();
                EXPECT_NEAR(announced, remained, remained / 10) << "quarter " << quarter;
                EXPECT_EQ(l.Progress.Percent, 25 * quarter);
                ++quarter;
            }
        }
        EXPECT_EQ(quarter, 4);
        EXPECT_EQ(looks.back().Progress.Phase, RunPhase::LeavingBootMode);
        EXPECT_EQ(looks.back().Progress.Percent, 100);
        rig.ExpectEnded();
    }
}

}  // namespace
}  // namespace quenfall::test
