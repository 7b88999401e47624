// The text form of a recorded dialogue: each kind of line written as the trace reader reads
// it back, and a line that is not a step named with its number.
#include "upgrade/dialogue_trace_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "parsed_trace.h"

namespace quenfall {
namespace {

using test::Parsed;

TEST(DialogueTraceText, TraceTextRoundTripsAndMalformedLinesAreNamed) {
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

TEST(DialogueTraceText, OutcomeAndPresenceLinesRoundTripAndMalformedOnesAreNamed) {
    const std::uint8_t sense[] = {0x70, 0x00, 0x06};
    const CommandOutcome outcomes[] = {
        OutcomeOfStatus(0x02, 0, 0x08, sense),         // the device's status and sense
        OutcomeOfStatus(0x00, 0x0007, 0, {}),          // the transport
        OutcomeOfStatus(0x00, 0, 0x0006, sense),       // the driver
        OutcomeOfSystemError(19, ErrorCodes::Posix),   // the system
        OutcomeOfSystemError(31, ErrorCodes::Windows),
        ChannelGoneOutcome(),
    };
    std::string text;
    for (const CommandOutcome& o : outcomes) text += FormatOutcomeLine(false, o) + FormatOutcomeLine(true, o);
    text += FormatPresenceLine(false) + FormatPresenceLine(true);
    EXPECT_EQ(FormatOutcomeLine(true, outcomes[3]),
              "! W error 19 # write: the system failed the command (error 19: " + std::string(std::strerror(19)) + ")\n");
    EXPECT_EQ(FormatOutcomeLine(false, outcomes[4]),
              "! R windows-error 31 # read: the system failed the command (Windows error 31)\n");
    EXPECT_EQ(FormatOutcomeLine(false, outcomes[1]),
              "! R status 00 host 0007 driver 0000 # read: the transport failed the command (host status "
              "0x0007, driver status 0x0000, SCSI status 0x00)\n");
    const std::vector<TraceStep> steps = Parsed(text);
    ASSERT_EQ(steps.size(), 2 * std::size(outcomes) + 2);
    for (std::size_t i = 0; i < std::size(outcomes); ++i) {
        EXPECT_EQ(steps[2 * i].Event, TraceEvent::CommandFailed);
        EXPECT_FALSE(steps[2 * i].Written);
        EXPECT_TRUE(steps[2 * i + 1].Written);
        EXPECT_EQ(steps[2 * i].Outcome, outcomes[i]) << i;
        EXPECT_EQ(steps[2 * i + 1].Outcome, outcomes[i]) << i;
    }
    EXPECT_EQ(steps[2 * std::size(outcomes)].Event, TraceEvent::RadioLeft);
    EXPECT_EQ(steps.back().Event, TraceEvent::RadioBack);
    EXPECT_EQ(outcomes[1].Result, CommandResult::TransportError);
    EXPECT_EQ(outcomes[2].Result, CommandResult::TransportError);
    EXPECT_TRUE(OutcomeOfStatus(0, 0, 0x08, sense).Good()) << "sense alone with good status is good";

    std::string error;
    for (const char* bad : {"! R status 00 host 0000 driver 0000\n", "! R status 02 host 0000\n",
                            "! X error 5\n", "! R error five\n", "! R gone now\n", "! R status 02 host 0 driver 0 sense 1FF\n",
                            "- radio gone\n", "! R\n"}) {
        std::istringstream in(std::string("> 00\n") + bad);
        EXPECT_FALSE(ParseTrace(in, error).has_value()) << bad;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    }
}

}  // namespace
}  // namespace quenfall
