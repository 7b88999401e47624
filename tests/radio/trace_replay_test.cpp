// A dialogue recorded in the --trace form replays through TraceReplayLink: the same
// package goes through to the end, a different one is caught at its first differing frame.
#include "radio/trace_replay.h"

#include <gtest/gtest.h>

#include <sstream>

#include "package/package_loader.h"
#include "package/package_writer.h"
#include "radio/dialogue_trace_text.h"
#include "radio/emulated_radio.h"
#include "upgrade/status_texts.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"

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
    std::string Text;
};

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
                                    DialogueTrace* trace = nullptr) {
    StatusView view;
    UpgradeSequencer sequencer(link, view, clock);
    sequencer.SetTrace(trace);
    clock.SetDispatch([&](TimerId id) { sequencer.OnTimer(id); });
    sequencer.Button2Click(std::move(package));
    clock.RunUntil(
        [&] {
            for (TimerId id : SequencerTimers)
                if (clock.IsOn(id)) return false;
            return true;
        },
        std::chrono::hours(1));
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

TEST(TraceReplay, TraceTextRoundTripsAndMalformedLinesAreNamed) {
    const std::vector<std::uint8_t> frame = {0xA1, 0x00, 0x0F, 0xFF};
    EXPECT_EQ(FormatTraceLine(true, frame), "> A1 00 0F FF\n");
    EXPECT_EQ(FormatTraceLine(false, frame), "< A1 00 0F FF\n");

    std::istringstream good("> A1 00\r\n\n< a4 0b\n");
    std::string error;
    const auto steps = ParseTrace(good, error);
    ASSERT_TRUE(steps.has_value()) << error;
    ASSERT_EQ(steps->size(), 2u);
    EXPECT_EQ((*steps)[1].Bytes, (std::vector<std::uint8_t>{0xA4, 0x0B}));

    for (const char* bad : {"x A1\n", ">A1\n", "> A\n", "> A1  00\n", "> A1 0G\n", "> A100\n", ">\n"}) {
        std::istringstream in(std::string("> 00\n") + bad);
        EXPECT_FALSE(ParseTrace(in, error).has_value()) << bad;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    }
}

}  // namespace
}  // namespace quenfall
