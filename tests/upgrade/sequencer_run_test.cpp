// Whole upgrade runs, tick by tick in virtual time, against a scripted radio.
#include <gtest/gtest.h>

#include <algorithm>

#include "upgrade/status_texts.h"
#include "upgrade_rig.h"

namespace quenfall::test {
namespace {

using std::chrono::milliseconds;

const std::string Entering(EnteringBootModeText);
const std::string Upgrading(UpgradingText);
const std::string Complete(UpgradeCompleteText);
const std::string CommError(CommunicationErrorText);

bool IsEnter(const SentFrame& f) { return f.Kind == CommandKind::EnterA || f.Kind == CommandKind::EnterB; }

std::vector<SentFrame> Enters(const ScriptedLink& link) {
    std::vector<SentFrame> out;
    for (const SentFrame& f : link.Frames())
        if (IsEnter(f)) out.push_back(f);
    return out;
}

// Two present slots, 0 and 2, holding sections 0 (5000 bytes) and 2 (2048 bytes).
PackageSpec TwoSectionSpec(std::uint8_t scrambleMode = 1) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = scrambleMode;
    spec.Sections.push_back({0, 0, Pattern(5000, 1)});
    spec.Sections.push_back({2, 2, Pattern(2048, 2)});
    return spec;
}

// Only section 0, 20,480 bytes (10 blocks).
PackageSpec SectionZeroSpec(std::uint8_t scrambleMode) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = scrambleMode;
    spec.Sections.push_back({0, 0, Pattern(20480, 3)});
    return spec;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to)};
}

TEST(UpgradeRun, WorkedTimelineTwoSectionsScrambleModeOne) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    const auto section0 = Pattern(5000, 1);
    const auto section2 = Pattern(2048, 2);

    int openDuringMessage = -1;
    rig.view.OnInfo = [&] { openDuringMessage = rig.link.OpenChannels(); };

    rig.sequencer.Button2Click(package);
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterTunerMode));
    EXPECT_EQ(rig.SequencerTimersOn(), 1);
    EXPECT_EQ(rig.sequencer.State().TotalBlocks, 4);
    ASSERT_TRUE(rig.RunToEnd());

    EXPECT_EQ(rig.view.Texts, (std::vector<std::string>{Entering, Upgrading, Complete}));
    EXPECT_EQ(rig.view.Widths, (std::vector<int>{0, 177, 355, 532, 710, 0}));

    const auto& frames = rig.link.Frames();
    ASSERT_EQ(frames.size(), 6u);
    for (const SentFrame& f : frames) EXPECT_EQ(f.Fault, FrameFault::None);
    EXPECT_EQ(frames[0].Kind, CommandKind::EnterA);
    EXPECT_EQ(frames[0].Payload, (std::vector<std::uint8_t>{2, 0, 2, 0xFF}));
    EXPECT_EQ(frames[0].Raw.size(), 12u);  // count + 10
    // The frame goes out scrambled with the package's key.
    EXPECT_NE(frames[0].Raw, frames[0].Plain);

    struct Expected { std::uint8_t id; std::uint16_t index; std::uint32_t size; };
    const Expected blocks[] = {{0, 0, 5000}, {0, 1, 5000}, {0, 2, 5000}, {2, 0, 2048}};
    for (std::size_t i = 0; i < 4; ++i) {
        const SentFrame& f = frames[1 + i];
        SCOPED_TRACE(i);
        EXPECT_EQ(f.Kind, CommandKind::Block);
        EXPECT_EQ(f.Raw.size(), 2065u);
        EXPECT_EQ(f.SectionId(), blocks[i].id);
        EXPECT_EQ(f.BlockIndex(), blocks[i].index);
        EXPECT_EQ(f.SectionSize(), blocks[i].size);
        EXPECT_EQ(f.Payload[7], 0x08);  // 2048 data bytes
        EXPECT_EQ(f.Payload[8], 0x00);
        // One request every two ticks: CheckTimer accepts, UpdateTimer sends.
        EXPECT_EQ(f.At, Ticks(1 + 2 * static_cast<std::int64_t>(i)));
    }
    EXPECT_EQ(frames[1].BlockData(), Slice(section0, 0, 2048));
    EXPECT_EQ(frames[2].BlockData(), Slice(section0, 2048, 4096));
    std::vector<std::uint8_t> lastOf0 = Slice(section0, 4096, 5000);
    lastOf0.resize(2048, 0);  // 1144 filler bytes, all zero
    EXPECT_EQ(frames[3].BlockData(), lastOf0);
    EXPECT_EQ(frames[4].BlockData(), section2);
    EXPECT_EQ(frames[5].Kind, CommandKind::Exit);
    EXPECT_EQ(frames[5].Raw.size(), 8u);
    EXPECT_TRUE(frames[5].Payload.empty());
    EXPECT_EQ(frames[5].At, Ticks(9));

    // The completion, in its order; the drive stays open until the message is closed.
    const std::vector<std::string> tail(rig.view.Log.end() - 5, rig.view.Log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"width:0", "success:1", "text:" + Complete, "pause:2000",
                                              "info:" + std::string(CompletionMessage)}));
    EXPECT_EQ(openDuringMessage, 1);
    EXPECT_TRUE(rig.view.SuccessIcon);
    EXPECT_FALSE(rig.view.FailureIcon);
    rig.ExpectEnded();
    EXPECT_EQ(rig.sequencer.State().SectionCursor, 2);
    EXPECT_EQ(rig.sequencer.State().BlocksDone, 4);
}

struct RecordTrace : DialogueTrace {
    void FrameWritten(std::span<const std::uint8_t> frame) override { written.emplace_back(frame.begin(), frame.end()); }
    void AnswerAccepted(std::span<const std::uint8_t> answer) override { accepted.emplace_back(answer.begin(), answer.end()); }
    std::vector<std::vector<std::uint8_t>> written, accepted;
};

TEST(UpgradeRun, TraceSeesEveryFrameAsSentAndEveryAcceptedAnswer) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    RecordTrace trace;
    rig.sequencer.SetTrace(&trace);
    rig.link.SetScript([](const SentFrame& f, std::size_t) { return IsEnter(f) ? Reply::With(4, 5) : Reply::With(2, 1); });
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    ASSERT_EQ(trace.written.size(), rig.link.Frames().size());
    for (std::size_t i = 0; i < trace.written.size(); ++i) EXPECT_EQ(trace.written[i], rig.link.Frames()[i].Raw);
    ASSERT_EQ(trace.accepted.size(), 6u);  // enter, four blocks, exit; none of the empty reads
    const auto ack = BuildResponse(ResponseCode(package->Selection, CommandKind::Block), 2);
    EXPECT_EQ(trace.accepted[1], std::vector<std::uint8_t>(ack.begin(), ack.end()));
}

TEST(UpgradeRun, ClickWhileTheCompletionMessageIsOpenKeepsTheNewRunsDrive) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    bool clicked = false;
    rig.view.OnInfo = [&] {
        if (clicked) return;
        clicked = true;
        rig.sequencer.Button2Click(package);  // Busy is already clear
    };
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return clicked; }, milliseconds(10000)));
    // The first run's drive is closed now; the second run's is open and in use.
    EXPECT_EQ(rig.link.OpenChannels(), 1);
    EXPECT_NE(rig.sequencer.State().Channel, nullptr);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.link.FramesOf(CommandKind::Exit).size(), 2u);
    EXPECT_EQ(rig.view.Status, Complete);
    rig.ExpectEnded();
}

TEST(UpgradeRun, ClickStepsInOrder) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.view.Log, (std::vector<std::string>{"width:0", "success:0", "failure:0", "text:" + Entering}));
    EXPECT_EQ(rig.link.Scans(), 1);
    EXPECT_EQ(rig.link.Opens(), 1);
    EXPECT_FALSE(rig.sequencer.Busy());
    EXPECT_EQ(rig.sequencer.State().ResponseLength, 9);
    EXPECT_EQ(rig.sequencer.State().FrameLength, 12);
}

TEST(UpgradeRun, StatusFourOnFirstPollStartsUploadOnThatTick) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(1);
    EXPECT_EQ(rig.view.Status, Upgrading);
    EXPECT_TRUE(rig.sequencer.Busy());
    EXPECT_TRUE(rig.clock.IsOn(TimerId::Check));
    EXPECT_EQ(rig.SequencerTimersOn(), 1);
    ASSERT_EQ(rig.link.FramesOf(CommandKind::Block).size(), 1u);
    // Busy refuses a click during the upload: nothing scanned, nothing sent.
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.link.Scans(), 1);
    EXPECT_EQ(rig.link.Frames().size(), 2u);
}

TEST(UpgradeRun, SectionZeroUnderScrambleModeZeroStartsAtBlockFour) {
    const auto package = MakePackage(SectionZeroSpec(0));
    Rig rig(package->Selection);
    const auto data = Pattern(20480, 3);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());

    const auto blocks = rig.link.FramesOf(CommandKind::Block);
    ASSERT_EQ(blocks.size(), 6u);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].BlockIndex(), 4 + i);
        EXPECT_EQ(blocks[i].SectionSize(), 20480u);
        EXPECT_EQ(blocks[i].BlockData(), Slice(data, (4 + i) * 2048, (5 + i) * 2048));
    }
    EXPECT_EQ(rig.view.Widths, (std::vector<int>{0, 71, 142, 213, 284, 355, 426, 0}));
    EXPECT_EQ(rig.sequencer.State().BlocksDone, 6);
    EXPECT_EQ(rig.view.Status, Complete);
    rig.ExpectEnded();
}

TEST(UpgradeRun, SectionZeroUnderScrambleModeOneStartsAtBlockZero) {
    const auto package = MakePackage(SectionZeroSpec(1));
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    const auto blocks = rig.link.FramesOf(CommandKind::Block);
    ASSERT_EQ(blocks.size(), 10u);
    EXPECT_EQ(blocks.front().BlockIndex(), 0);
    EXPECT_EQ(rig.view.Widths[rig.view.Widths.size() - 2], 710);
}

TEST(UpgradeRun, LaterSectionZeroStartsAtBlockZeroAndEnterListsIdsInSlotOrder) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 0;
    spec.Sections.push_back({0, 3, Pattern(100, 4)});
    spec.Sections.push_back({3, 0, Pattern(4096, 5)});
    spec.Sections.push_back({5, 5, Pattern(10, 6)});
    const auto package = MakePackage(spec);
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.link.Frames().front().Payload, (std::vector<std::uint8_t>{3, 3, 0, 5, 0xFF}));
    std::vector<std::pair<int, int>> sent;
    for (const SentFrame& f : rig.link.FramesOf(CommandKind::Block)) sent.emplace_back(f.SectionId(), f.BlockIndex());
    // A section's size and bytes are those of the slot its id names: id 3 is the 4096 bytes
    // of slot 3, id 0 the 100 bytes of slot 0.
    EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{3, 0}, {3, 1}, {0, 0}, {5, 0}}));
    EXPECT_EQ(rig.view.Status, Complete);
}

TEST(UpgradeRun, SilentRadioGetsThreeEnterRequestsThenCommunicationError) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetScript([](const SentFrame&, std::size_t) { return Reply::Silent(); });
    rig.sequencer.Button2Click(package);

    rig.clock.RunTicks(1199);
    EXPECT_EQ(rig.view.Status, Entering);
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterTunerMode));
    rig.clock.RunTicks(1);
    EXPECT_EQ(rig.view.Status, CommError);
    EXPECT_TRUE(rig.view.FailureIcon);

    const auto enters = Enters(rig.link);
    ASSERT_EQ(enters.size(), 3u);
    EXPECT_EQ(enters[0].At, Ticks(0));
    EXPECT_EQ(enters[1].At, Ticks(400));
    EXPECT_EQ(enters[2].At, Ticks(800));
    EXPECT_EQ(enters[0].Payload, (std::vector<std::uint8_t>{2, 0, 2, 0xFF}));
    // Re-sends carry SectionCursor as count: 0 before any upload.
    EXPECT_EQ(enters[1].Payload, (std::vector<std::uint8_t>{0, 0xFF}));
    EXPECT_EQ(enters[2].Payload, (std::vector<std::uint8_t>{0, 0xFF}));
    rig.ExpectEnded();
    EXPECT_EQ(rig.link.Reads(), 1200u);  // one read per tick
}

TEST(UpgradeRun, InvalidAnswerCountsAsNoAnswer) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);  // answered with status 4
    // From here on every answer carries status 5, which is no answer at all.
    rig.link.SetScript([](const SentFrame&, std::size_t) { return Reply::With(5); });
    rig.clock.RunTicks(1);
    EXPECT_TRUE(rig.sequencer.Busy());
    ASSERT_TRUE(rig.RunToEnd());
    // Every block answer was status 5: the first block is never acknowledged or re-sent.
    EXPECT_EQ(rig.link.FramesOf(CommandKind::Block).size(), 1u);
    EXPECT_EQ(rig.view.Status, CommError);
    rig.ExpectEnded();
}

TEST(UpgradeRun, StatusOneOrTwoReopensTheWindowAndResetsRetries) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    // The first enter request is answered with status 2 once, after 300 silent reads; the
    // second with status 1 on the last tick of its window; after that the radio is silent.
    rig.link.SetScript([](const SentFrame& f, std::size_t index) {
        if (!IsEnter(f)) return Reply::Silent();
        if (index == 0) return Reply::With(2, 300, 1);
        if (index == 1) return Reply::With(1, 398, 1);
        return Reply::Silent();
    });
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(301);
    EXPECT_EQ(rig.sequencer.State().PollTicks, 0);
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterTunerMode));
    EXPECT_EQ(Enters(rig.link).size(), 1u);
    // A fresh window of 400 ticks: the re-send comes on tick 701, not 400.
    rig.clock.RunTicks(399);
    EXPECT_EQ(Enters(rig.link).size(), 1u);
    rig.clock.RunTicks(1);
    ASSERT_EQ(Enters(rig.link).size(), 2u);
    EXPECT_EQ(Enters(rig.link)[1].At, Ticks(701));
    EXPECT_EQ(rig.sequencer.State().RetryCount, 1);
    // Status 1 on tick 1100 sets the retry count back to 0.
    rig.clock.RunTicks(399);
    EXPECT_EQ(rig.sequencer.State().RetryCount, 0);
    EXPECT_EQ(Enters(rig.link).size(), 2u);
    // Three more expired windows are needed now: sends at 1500 and 1900, error on 2300.
    rig.clock.RunTicks(1199);
    EXPECT_EQ(rig.view.Status, Entering);
    rig.clock.RunTicks(1);
    EXPECT_EQ(rig.view.Status, CommError);
    const auto enters = Enters(rig.link);
    ASSERT_EQ(enters.size(), 4u);
    EXPECT_EQ(enters[2].At, Ticks(1500));
    EXPECT_EQ(enters[3].At, Ticks(1900));
    EXPECT_FALSE(rig.sequencer.Busy());
    rig.ExpectEnded();
}

// Status 3, then the radio leaves the bus for a while.
struct RestartRig : Rig {
    explicit RestartRig(const ProfileSelection& selection) : Rig(selection) {
        link.SetScript([this](const SentFrame& f, std::size_t) {
            if (IsEnter(f) && enters++ == 0) return Reply::With(3, 0, 1);
            return IsEnter(f) ? Reply::With(afterRestart) : Reply::With(1);
        });
    }
    int enters = 0;
    std::uint8_t afterRestart = 1;
};

TEST(UpgradeRun, RestartWaitReopensOnThe801stTickWithSectionCursorAsCount) {
    const auto package = MakePackage(TwoSectionSpec());
    RestartRig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(1);
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterModeSure));
    EXPECT_EQ(rig.SequencerTimersOn(), 1);
    EXPECT_EQ(rig.view.Status, Entering);
    EXPECT_FALSE(rig.sequencer.Busy());
    rig.link.SetPresent(false);  // the radio restarts

    rig.clock.RunTicks(800);
    EXPECT_EQ(rig.link.Opens(), 1);
    EXPECT_EQ(rig.link.Frames().size(), 1u);
    rig.link.SetPresent(true);
    rig.clock.RunTicks(1);  // the 801st tick of the wait
    EXPECT_EQ(rig.link.Opens(), 2);
    EXPECT_EQ(rig.link.MostOpenAtOnce(), 1);  // the old drive was closed before reopening
    ASSERT_EQ(Enters(rig.link).size(), 2u);
    EXPECT_EQ(Enters(rig.link)[1].At, Ticks(802));
    EXPECT_EQ(Enters(rig.link)[1].Payload, (std::vector<std::uint8_t>{0, 0xFF}));
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterBootCheck));
    EXPECT_EQ(rig.SequencerTimersOn(), 1);
    EXPECT_EQ(rig.view.Status, Upgrading);

    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Texts, (std::vector<std::string>{Entering, Upgrading, Upgrading, Complete}));
    EXPECT_EQ(rig.link.FramesOf(CommandKind::Block).size(), 4u);
    rig.ExpectEnded();
}

TEST(UpgradeRun, RestartWaitTriesAgainEvery801Ticks) {
    const auto package = MakePackage(TwoSectionSpec());
    RestartRig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(1);
    rig.link.SetPresent(false);
    rig.clock.RunTicks(801);
    EXPECT_EQ(rig.link.Opens(), 2);  // tried, failed
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterModeSure));
    EXPECT_EQ(rig.sequencer.State().Channel, nullptr);
    rig.link.SetPresent(true);
    rig.clock.RunTicks(800);
    EXPECT_EQ(rig.link.Opens(), 2);
    rig.clock.RunTicks(1);
    EXPECT_EQ(rig.link.Opens(), 3);
    EXPECT_EQ(Enters(rig.link).back().At, Ticks(1 + 801 + 801));
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterBootCheck));
}

TEST(UpgradeRun, AnyStatusAfterTheRestartStartsTheUpload) {
    for (std::uint8_t status : {1, 2, 3, 4}) {
        SCOPED_TRACE(int{status});
        const auto package = MakePackage(TwoSectionSpec());
        RestartRig rig(package->Selection);
        rig.afterRestart = status;
        rig.sequencer.Button2Click(package);
        rig.clock.RunTicks(1 + 801 + 1);
        EXPECT_TRUE(rig.sequencer.Busy());
        EXPECT_TRUE(rig.clock.IsOn(TimerId::Check));
        ASSERT_TRUE(rig.RunToEnd());
        EXPECT_EQ(rig.view.Status, Complete);
    }
}

TEST(UpgradeRun, SectionCursorOfTheLastRunIsTheCountOfLaterEnterRequests) {
    const auto package = MakePackage(TwoSectionSpec());
    RestartRig rig(package->Selection);
    rig.afterRestart = 4;
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    ASSERT_EQ(rig.view.Status, Complete);
    // Second run: status 3 again, then the request after the restart counts 2 sections.
    rig.enters = 0;
    const std::size_t before = rig.link.Frames().size();
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    std::vector<SentFrame> second(rig.link.Frames().begin() + static_cast<std::ptrdiff_t>(before),
                                  rig.link.Frames().end());
    ASSERT_GE(second.size(), 2u);
    EXPECT_EQ(second[0].Payload, (std::vector<std::uint8_t>{2, 0, 2, 0xFF}));
    EXPECT_EQ(second[1].Payload, (std::vector<std::uint8_t>{2, 0, 2, 0xFF}));
    EXPECT_EQ(rig.view.Status, Complete);
}

TEST(UpgradeRun, EnterAfterRestartNeverAnsweredEndsAfterThreeWindows) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetScript([](const SentFrame&, std::size_t index) {
        return index == 0 ? Reply::With(3, 0, 1) : Reply::Silent();
    });
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(1 + 801);
    rig.clock.RunTicks(1199);
    EXPECT_EQ(rig.view.Status, Upgrading);
    rig.clock.RunTicks(1);
    EXPECT_EQ(rig.view.Status, CommError);
    const auto enters = Enters(rig.link);
    ASSERT_EQ(enters.size(), 4u);
    EXPECT_EQ(enters[2].At - enters[1].At, Ticks(400));
    EXPECT_EQ(enters[3].At - enters[2].At, Ticks(400));
    rig.ExpectEnded();
}

TEST(UpgradeRun, UnansweredBlockIsNeverSentAgain) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetScript([](const SentFrame& f, std::size_t) {
        if (f.Kind == CommandKind::Block && f.BlockIndex() == 1) return Reply::Silent();
        return IsEnter(f) ? Reply::With(4) : Reply::With(2);
    });
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(3);  // block 1 is out now
    const milliseconds sent = rig.clock.Now();
    rig.clock.RunTicks(399);
    EXPECT_TRUE(rig.sequencer.Busy());
    rig.clock.RunTicks(1);
    EXPECT_EQ(rig.clock.Now() - sent, Ticks(400));
    EXPECT_EQ(rig.view.Status, CommError);
    const auto blocks = rig.link.FramesOf(CommandKind::Block);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[1].BlockIndex(), 1);
    EXPECT_TRUE(rig.link.FramesOf(CommandKind::Exit).empty());
    EXPECT_EQ(rig.view.Width, 177);  // the bar keeps its last width
    EXPECT_TRUE(rig.view.FailureIcon);
    rig.ExpectEnded();
    // An answer that comes late is never read: the drive is closed.
    const auto reads = rig.link.Reads();
    rig.clock.RunTicks(1000);
    EXPECT_EQ(rig.link.Reads(), reads);
}

TEST(UpgradeRun, ExitRequestResentAt400And800ThenErrorOnThe1200thTick) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetScript([](const SentFrame& f, std::size_t) {
        if (f.Kind == CommandKind::Exit) return Reply::Silent();
        return IsEnter(f) ? Reply::With(4) : Reply::With(3);
    });
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return rig.clock.IsOn(TimerId::ExitBootMode); }, milliseconds(1000)));
    const milliseconds exitSent = rig.clock.Now();
    rig.clock.RunTicks(1199);
    EXPECT_TRUE(rig.sequencer.Busy());
    rig.clock.RunTicks(1);
    EXPECT_EQ(rig.view.Status, CommError);
    const auto exits = rig.link.FramesOf(CommandKind::Exit);
    ASSERT_EQ(exits.size(), 3u);
    EXPECT_EQ(exits[0].At, exitSent);
    EXPECT_EQ(exits[1].At, exitSent + Ticks(400));
    EXPECT_EQ(exits[2].At, exitSent + Ticks(800));
    EXPECT_EQ(rig.view.Width, 710);
    EXPECT_FALSE(rig.view.SuccessIcon);
    rig.ExpectEnded();
}

TEST(UpgradeRun, AcknowledgementAfterManyReadsIsStillTaken) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetScript([](const SentFrame& f, std::size_t) { return IsEnter(f) ? Reply::With(4, 398) : Reply::With(1, 398); });
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, Complete);
    EXPECT_EQ(rig.link.FramesOf(CommandKind::Block).size(), 4u);
}

TEST(UpgradeRun, NextRunStartsWithBarAtZeroAndIconsHidden) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetScript([](const SentFrame& f, std::size_t) {
        return f.Kind == CommandKind::Exit ? Reply::Silent() : (IsEnter(f) ? Reply::With(4) : Reply::With(1));
    });
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    ASSERT_TRUE(rig.view.FailureIcon);
    rig.link.SetScript({});
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.view.Width, 0);
    EXPECT_FALSE(rig.view.FailureIcon);
    EXPECT_FALSE(rig.view.SuccessIcon);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, Complete);
    EXPECT_EQ(rig.sequencer.State().BlocksDone, 4);
}

// ---- mended faults --------------------------------------------------------------------

TEST(UpgradeFaults, RadioLostBetweenTwoBlocksEndsTheRunAsFailed) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return rig.clock.IsOn(TimerId::Update); }, milliseconds(1000)));
    ASSERT_EQ(rig.SequencerTimersOn(), 1);
    rig.link.SetPresent(false);
    rig.watch.ConnectTimerTimer();  // the report falls due in the advancing phase
    EXPECT_EQ(rig.view.Status, std::string(UpgradeFailedText));
    EXPECT_TRUE(rig.view.FailureIcon);
    rig.ExpectEnded();
    const auto frames = rig.link.Frames().size();
    rig.clock.RunTicks(2000);
    EXPECT_EQ(rig.link.Frames().size(), frames);
    EXPECT_EQ(rig.view.Status, std::string(UpgradeFailedText));
    // The window may close and the next click works.
    rig.link.SetPresent(true);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, Complete);
}

TEST(UpgradeFaults, ReportDueTogetherWithAnAcknowledgementEndsTheRun) {
    // Through the clock: the report and the acknowledgement of block 1 fall on one instant,
    // CheckTimer first (timer order), so the report finds UpdateTimer the only timer on.
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    const TimerDispatch dispatch(rig.sequencer, rig.watch);
    rig.clock.SetDispatch([&](TimerId id) {
        if (id == TimerId::Connect) rig.link.SetPresent(false);  // gone as the report runs
        dispatch(id);
    });
    rig.watch.OnUsbDeviceChanged();  // report due at 1000 ms
    rig.clock.RunFor(milliseconds(960));
    rig.sequencer.Button2Click(package);  // block 0 at 970, block 1 at 990, its ack at 1000
    rig.clock.RunFor(milliseconds(40));
    EXPECT_EQ(rig.link.FramesOf(CommandKind::Block).size(), 2u);
    EXPECT_EQ(rig.view.Status, std::string(UpgradeFailedText));
    EXPECT_TRUE(rig.view.FailureIcon);
    rig.ExpectEnded();
}

TEST(UpgradeFaults, RadioLostAwaitingAcknowledgementEndsByTimeout) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetScript([](const SentFrame& f, std::size_t) {
        return IsEnter(f) ? Reply::With(4) : Reply::Silent();
    });
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(1);
    rig.link.SetPresent(false);
    rig.watch.OnUsbDeviceChanged();
    rig.clock.RunFor(milliseconds(1000));
    EXPECT_EQ(rig.view.Status, std::string(UpgradeFailedText));
    EXPECT_TRUE(rig.sequencer.Busy());  // the poller ends the run, not the watch
    EXPECT_TRUE(rig.clock.IsOn(TimerId::Check));
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Texts.back(), CommError);
    rig.ExpectEnded();
}

TEST(UpgradeFaults, PackageWithoutSectionsIsRefusedWithAMessage) {
    PackageSpec spec;
    spec.ModelCode = 2;
    const auto package = MakePackage(spec);
    ASSERT_EQ(package->SectionCount, 0);
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.view.Log, (std::vector<std::string>{"error:" + std::string(NoSectionsMessage) + "|Error"}));
    EXPECT_EQ(rig.link.Scans(), 0);
    EXPECT_EQ(rig.link.Opens(), 0);
    EXPECT_FALSE(rig.AnySequencerTimerOn());
    rig.clock.RunTicks(1000);
    EXPECT_TRUE(rig.link.Frames().empty());
}

TEST(UpgradeFaults, NothingLoadedDoesNothing) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(nullptr);
    EXPECT_TRUE(rig.view.Log.empty());
    EXPECT_EQ(rig.link.Scans(), 0);
}

TEST(UpgradeFaults, SecondClickDuringBootEntryRestartsTheRunCleanly) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetScript([](const SentFrame&, std::size_t) { return Reply::Silent(); });
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(250);
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.SequencerTimersOn(), 1);
    EXPECT_EQ(rig.link.OpenChannels(), 1);
    // The new handle is opened before the old run's is closed (a failed open must leave that
    // run as it was); never more than those two, and only the new one is written to.
    EXPECT_EQ(rig.link.MostOpenAtOnce(), 2);
    EXPECT_EQ(rig.sequencer.State().PollTicks, 0);
    // A full window for the new run: its re-sends come 400 and 800 ticks after the click.
    rig.clock.RunTicks(1199);
    auto enters = Enters(rig.link);
    ASSERT_EQ(enters.size(), 4u);
    EXPECT_EQ(enters[1].At, Ticks(250));
    EXPECT_EQ(enters[2].At, Ticks(650));
    EXPECT_EQ(enters[3].At, Ticks(1050));
    EXPECT_EQ(rig.view.Status, Entering);
    rig.clock.RunTicks(1);
    EXPECT_EQ(rig.view.Status, CommError);
    rig.ExpectEnded();
}

TEST(UpgradeFaults, SecondClickDuringRestartWaitLeavesOneRun) {
    const auto package = MakePackage(TwoSectionSpec());
    RestartRig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(300);
    ASSERT_TRUE(rig.clock.IsOn(TimerId::EnterModeSure));
    rig.afterRestart = 4;
    rig.sequencer.Button2Click(package);  // answered with 4 this time
    EXPECT_FALSE(rig.clock.IsOn(TimerId::EnterModeSure));
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterTunerMode));
    EXPECT_EQ(rig.sequencer.State().SettleTicks, 0);
    EXPECT_EQ(rig.SequencerTimersOn(), 1);
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, Complete);
    EXPECT_EQ(rig.link.Opens(), 2);
    EXPECT_EQ(rig.link.MostOpenAtOnce(), 2);  // the old handle until the new one was had
    rig.ExpectEnded();
}

TEST(UpgradeFaults, SecondClickThatCannotOpenLeavesTheRunAsItWas) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetScript([](const SentFrame&, std::size_t) { return Reply::Silent(); });
    rig.sequencer.Button2Click(package);
    rig.clock.RunTicks(10);
    rig.link.SetPresent(false);
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.view.Errors, (std::vector<std::string>{std::string(CannotConnectMessage)}));
    // The run entering boot mode goes on: same timer, same window, same drive handle.
    EXPECT_EQ(rig.view.Status, Entering);
    EXPECT_FALSE(rig.view.FailureIcon);
    EXPECT_TRUE(rig.clock.IsOn(TimerId::EnterTunerMode));
    EXPECT_EQ(rig.SequencerTimersOn(), 1);
    EXPECT_EQ(rig.sequencer.State().PollTicks, 10);
    EXPECT_NE(rig.sequencer.State().Channel, nullptr);
    EXPECT_EQ(rig.link.OpenChannels(), 1);
    // ...and ends as it would have without the click.
    rig.clock.RunTicks(1190);
    EXPECT_EQ(rig.view.Status, CommError);
    rig.ExpectEnded();
}

TEST(UpgradeFaults, RunKeepsThePackageItStartedWith) {
    auto first = MakePackage(TwoSectionSpec());
    const ProfileSelection selection = first->Selection;
    Rig rig(selection);
    rig.link.SetScript([](const SentFrame& f, std::size_t index) {
        if (index == 0) return Reply::With(3, 0, 1);
        return IsEnter(f) ? Reply::With(4) : Reply::With(1);
    });
    rig.sequencer.Button2Click(first);
    rig.clock.RunTicks(100);
    // Another file is loaded meanwhile: another model, other sections. The window holds it
    // as its loaded package; the run holds its own.
    PackageSpec other;
    other.ModelCode = 11;
    other.ScrambleMode = 0;
    other.Sections.push_back({7, 7, Pattern(9000, 9)});
    auto loadedNow = MakePackage(other);
    first.reset();
    ASSERT_TRUE(rig.RunToEnd());
    EXPECT_EQ(rig.view.Status, Complete);
    std::vector<std::pair<int, int>> sent;
    for (const SentFrame& f : rig.link.FramesOf(CommandKind::Block)) sent.emplace_back(f.SectionId(), f.BlockIndex());
    EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {0, 2}, {2, 0}}));
    EXPECT_EQ(rig.link.FramesOf(CommandKind::Block).back().BlockData(), Pattern(2048, 2));
    for (const SentFrame& f : rig.link.Frames()) EXPECT_TRUE(f.Kind.has_value());
    EXPECT_NE(rig.sequencer.State().RunPackage, loadedNow);
}

TEST(UpgradeFaults, FillerIsZeroAfterALongerSection) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    spec.Sections.push_back({1, 1, Pattern(8192, 7)});
    spec.Sections.push_back({2, 2, Pattern(100, 8)});
    const auto package = MakePackage(spec);
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    const auto blocks = rig.link.FramesOf(CommandKind::Block);
    ASSERT_EQ(blocks.size(), 5u);
    std::vector<std::uint8_t> expected = Pattern(100, 8);
    expected.resize(2048, 0);
    EXPECT_EQ(blocks.back().BlockData(), expected);
}

TEST(UpgradeFaults, ShortSectionZeroUnderModeZeroSendsOneBlockOfZeros) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 0;
    spec.Sections.push_back({0, 0, Pattern(3000, 7)});
    const auto package = MakePackage(spec);
    Rig rig(package->Selection);
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.RunToEnd());
    const auto blocks = rig.link.FramesOf(CommandKind::Block);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].BlockIndex(), 4);
    EXPECT_EQ(blocks[0].BlockData(), std::vector<std::uint8_t>(2048, 0));
    EXPECT_EQ(rig.view.Widths, (std::vector<int>{0, 355, 0}));  // 1 of 2 blocks
}

TEST(UpgradeFaults, OpenFailuresShowTheirMessagesAndChangeNothingElse) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.NextOpenFailures.push_back({OpenFailure::PermissionDenied, "Add yourself to the plugdev group."});
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.view.Log, (std::vector<std::string>{"error:Add yourself to the plugdev group.|Error"}));
    rig.link.NextOpenFailures.push_back({OpenFailure::CannotOpen, ""});
    rig.sequencer.Button2Click(package);
    rig.link.SetPresent(false);
    rig.sequencer.Button2Click(package);
    const std::string generic = "error:" + std::string(CannotConnectMessage) + "|Error";
    EXPECT_EQ(rig.view.Log, (std::vector<std::string>{"error:Add yourself to the plugdev group.|Error", generic, generic}));
    EXPECT_EQ(rig.link.Scans(), 3);
    EXPECT_FALSE(rig.AnySequencerTimerOn());
    EXPECT_TRUE(rig.link.Frames().empty());
    EXPECT_EQ(rig.sequencer.State().Channel, nullptr);
}

TEST(UpgradeFaults, ASystemThatRefusesTheFirstCommandIsToldAtOnceNotAsACommunicationError) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    rig.link.SetRefusal("The system refused the radio's commands.");
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.view.Log, (std::vector<std::string>{"width:0", "error:The system refused the radio's commands.|Error"}));
    EXPECT_FALSE(rig.AnySequencerTimerOn());
    EXPECT_EQ(rig.sequencer.State().Channel, nullptr);
    EXPECT_EQ(rig.link.OpenChannels(), 0);
    EXPECT_FALSE(rig.sequencer.Busy());
    ASSERT_EQ(rig.link.Frames().size(), 1u);  // the one enter request that found out
    EXPECT_FALSE(rig.link.Frames()[0].ReachedRadio);

    // The same system during a run that was entering boot mode: that run is said to have failed.
    rig.link.SetRefusal("");
    rig.link.SetScript([](const SentFrame&, std::size_t) { return Reply::Silent(); });
    rig.sequencer.Button2Click(package);
    ASSERT_TRUE(rig.clock.IsOn(TimerId::EnterTunerMode));
    rig.link.SetRefusal("Refused.");
    rig.view.Log.clear();
    rig.sequencer.Button2Click(package);
    EXPECT_EQ(rig.view.Log, (std::vector<std::string>{"width:0", "text:" + std::string(UpgradeFailedText),
                                                      "failure:1", "error:Refused.|Error"}));
    EXPECT_FALSE(rig.AnySequencerTimerOn());
    EXPECT_EQ(rig.link.OpenChannels(), 0);
}

TEST(UpgradeFaults, StrayTimerFiringWithoutARunIsHarmless) {
    const auto package = MakePackage(TwoSectionSpec());
    Rig rig(package->Selection);
    for (TimerId id : SequencerTimers) rig.clock.SwitchOn(id);
    rig.clock.RunTicks(5);
    EXPECT_FALSE(rig.AnySequencerTimerOn());
    EXPECT_TRUE(rig.view.Log.empty());
}

}  // namespace
}  // namespace quenfall::test
