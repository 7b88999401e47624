// A dialogue recorded in the --trace form replays through TraceReplayLink: the same
// package goes through to the end, a different one is caught at its first differing frame.
#include "emulator/trace_replay.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "package/package_loader.h"
#include "package/package_writer.h"
#include "upgrade/dialogue_trace_text.h"
#include "emulator/emulated_radio.h"
#include "upgrade/status_texts.h"
#include "upgrade/traced_link.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "run_rig.h"
#include "parsed_trace.h"

namespace quenfall {
namespace {

using namespace std::chrono_literals;

class StatusView : public UpgradeView {
public:
    void SetStatusText(std::string_view text) override { Texts.emplace_back(text); }
    void SetProgressWidth(int) override {}
    void SetSuccessIconVisible(bool) override {}
    void SetFailureIconVisible(bool) override {}
    void ShowInfo(std::string_view) override {}
    void ShowError(std::string_view text, std::string_view) override { Texts.emplace_back(text); }
    void Pause(std::chrono::milliseconds) override {}
    std::vector<std::string> Texts;
};

class TextTrace : public DialogueTrace {
public:
    void FrameWritten(std::span<const std::uint8_t> frame) override { Text += FormatTraceLine(true, frame); }
    void AnswerAccepted(std::span<const std::uint8_t> answer) override { Text += FormatTraceLine(false, answer); }
    void CommandFailed(bool written, const CommandOutcome& outcome) override {
        Text += FormatOutcomeLine(written, outcome);
    }
    void RadioPresence(bool present) override { Text += FormatPresenceLine(present); }
    std::string Text;
};

std::vector<std::string> TraceLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

using test::Parsed;

std::shared_ptr<const Package> MakePackage(std::uint8_t tweak) {
    PackageSpec spec;
    spec.ModelCode = 11;
    spec.ScrambleMode = 0;
    std::vector<std::uint8_t> a(5000), b(2048);
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<std::uint8_t>(i * 5);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 3 + 1);
    b[1000] = static_cast<std::uint8_t>(b[1000] + tweak);
    spec.Sections = {{1, 1, a}, {4, 4, b}};
    LoadResult r = LoadPackageImage(WritePackage(spec));
    EXPECT_EQ(r.Verdict, LoadVerdict::Accepted);
    return r.Accepted;
}

// One whole run in virtual time; the texts the view showed.
std::vector<std::string> RunUpgrade(DeviceLink& link, VirtualClock& clock, std::shared_ptr<const Package> package,
                                    DialogueTrace* trace = nullptr, std::string* lastNonGood = nullptr) {
    StatusView view;
    // A trace records the scans' findings too, as --trace does.
    std::optional<TracedLink> traced;
    if (trace != nullptr) traced.emplace(link, *trace);
    UpgradeSequencer sequencer(traced ? static_cast<DeviceLink&>(*traced) : link, view, clock);
    sequencer.SetTrace(trace);
    test::HandTimersTo(clock, sequencer);
    sequencer.Button2Click(std::move(package));
    test::RunWhileSequencerTimersOn(clock, std::chrono::hours(1));
    if (lastNonGood != nullptr) *lastNonGood = sequencer.LastNonGoodOutcomeText();
    return view.Texts;
}

std::vector<TraceStep> Recorded() {
    VirtualClock clock;
    EmulatedRadioConfig config;
    config.Selection = MakePackage(0)->Selection;
    config.Now = clock.NowFunction();
    EmulatedRadio radio(config);
    // A lost first request (re-sent after a window) and a status 2 before the restart: the
    // trace then holds a frame with no answer and two answers in a row.
    radio.SetSilent(RequestMatch::Nth(1));
    radio.SetInterimAnswers(RequestMatch::Nth(2), 2, 1);
    TextTrace trace;
    const auto texts = RunUpgrade(radio, clock, MakePackage(0), &trace);
    EXPECT_EQ(texts.back(), UpgradeCompleteText);
    EXPECT_TRUE(radio.Violations().empty());
    std::istringstream in(trace.Text);
    std::string error;
    const auto steps = ParseTrace(in, error);
    EXPECT_TRUE(steps.has_value()) << error;
    return steps.value_or(std::vector<TraceStep>{});
}

TEST(TraceReplay, TheSamePackageReplaysToTheEndOfItsTrace) {
    const std::vector<TraceStep> steps = Recorded();
    // enter, enter, 2, 3, enter, 4, four blocks and their acknowledgements, exit, its answer
    ASSERT_EQ(steps.size(), 16u);
    EXPECT_TRUE(steps[0].Written && steps[1].Written);
    EXPECT_FALSE(steps[2].Written || steps[3].Written);
    EXPECT_EQ(steps[2].Bytes[5], 2);
    EXPECT_EQ(steps[3].Bytes[5], 3);

    TraceReplayLink replay(steps);
    VirtualClock clock;
    const auto texts = RunUpgrade(replay, clock, MakePackage(0));
    EXPECT_EQ(replay.Divergence(), "");
    EXPECT_TRUE(replay.Finished());
    EXPECT_EQ(texts.back(), UpgradeCompleteText);
}

TEST(TraceReplay, AnotherPackageIsCaughtAtItsFirstDifferingFrame) {
    TraceReplayLink replay(Recorded());
    VirtualClock clock;
    const auto texts = RunUpgrade(replay, clock, MakePackage(1));
    EXPECT_FALSE(replay.Finished());
    // Enter, enter, enter after the restart, three blocks of section 1; then section 4's
    // block, whose data byte 1000 (frame byte 5 + 9 + 1000) was changed.
    EXPECT_EQ(replay.Divergence(),
              "frame 7 differs from the trace (line 13) from byte 1014 on; 2065 bytes written, 2065 recorded");
    EXPECT_EQ(texts.back(), CommunicationErrorText) << "nothing is answered after the divergence";
}

TEST(TraceReplay, FailedCommandsAreRecordedBesideTheirFramesAndReplayedToTheSameEnd) {
    VirtualClock clock;
    EmulatedRadioConfig config;
    config.Selection = MakePackage(0)->Selection;
    config.Now = clock.NowFunction();
    config.RestartOnEnter = false;
    EmulatedRadio radio(config);
    // The system fails the first block and every read after it: the answer window expires
    // and the run ends in a communication error, which names the failing read.
    radio.SetFailedCommands(RequestMatch::NthOf(2, RequestKind::Block));
    TextTrace trace;
    std::string lastNonGood;
    const auto texts = RunUpgrade(radio, clock, MakePackage(0), &trace, &lastNonGood);
    ASSERT_EQ(texts.back(), CommunicationErrorText);
    EXPECT_EQ(lastNonGood,
              "read: the radio answered with SCSI status 0x02, sense 70 00 05 00 00 00 00 0A 00 00 00 00 20 00");

    const std::vector<std::string> lines = TraceLines(trace.Text);
    // enter, its answer 4, the block and the write's outcome, then one line per failed read.
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0].substr(0, 2), "> ");
    EXPECT_EQ(lines[1].substr(0, 2), "< ");
    EXPECT_EQ(lines[2].substr(0, 2), "> ");
    EXPECT_EQ(lines[3], "! W status 02 host 0000 driver 0008 sense 70 00 05 00 00 00 00 0A 00 00 00 00 20 00 # "
                        "write: the radio answered with SCSI status 0x02, sense 70 00 05 00 00 00 00 0A 00 00 00 00 "
                        "20 00");
    std::size_t failedReads = 0;
    for (std::size_t i = 4; i < lines.size(); ++i) {
        if (lines[i].starts_with("! R status 02 ")) ++failedReads;
    }
    EXPECT_EQ(failedReads, lines.size() - 4) << "nothing but the failed reads follow the block";
    EXPECT_GE(failedReads, static_cast<std::size_t>(PollTimeoutTicks) - 1);

    // The replay fails the same commands the same way, and ends where the run ended.
    TraceReplayLink replay(Parsed(trace.Text));
    VirtualClock again;
    std::string replayed;
    const auto replayTexts = RunUpgrade(replay, again, MakePackage(0), nullptr, &replayed);
    EXPECT_EQ(replay.Divergence(), "");
    EXPECT_TRUE(replay.Finished());
    EXPECT_EQ(replayTexts, texts);
    EXPECT_EQ(replayed, lastNonGood);
}

TEST(TraceReplay, ARestartLongerThanTheWaitIsRecordedAndTheReplayFindsTheRadioGoneAndBack) {
    VirtualClock clock;
    EmulatedRadioConfig config;
    config.Selection = MakePackage(0)->Selection;
    config.Now = clock.NowFunction();
    // Away longer than the restart wait: the first reopen finds no radio, the next one does.
    config.RestartTime = 12s;
    EmulatedRadio radio(config);
    TextTrace trace;
    const auto texts = RunUpgrade(radio, clock, MakePackage(0), &trace);
    ASSERT_EQ(texts.back(), UpgradeCompleteText);
    EXPECT_EQ(radio.Restarts(), 1u);

    const std::vector<std::string> lines = TraceLines(trace.Text);
    // enter, its answer 3, the radio gone at the first reopen, back at the second, enter...
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], "- radio left");
    EXPECT_EQ(lines[3], "+ radio back");
    EXPECT_EQ(lines[4].substr(0, 2), "> ");
    // A channel of the radio's earlier life is closed before the reopen: no command failed.
    EXPECT_EQ(trace.Text.find("! "), std::string::npos) << trace.Text;

    // Replayed, the radio is gone at the first reopen again: the second one carries on.
    TraceReplayLink replay(Parsed(trace.Text));
    VirtualClock again;
    TextTrace retraced;
    const auto replayTexts = RunUpgrade(replay, again, MakePackage(0), &retraced);
    EXPECT_EQ(replay.Divergence(), "");
    EXPECT_TRUE(replay.Finished());
    EXPECT_EQ(replayTexts, texts);
    EXPECT_EQ(retraced.Text, trace.Text) << "the replay's own trace is the trace it played";
}

}  // namespace
}  // namespace quenfall
