// What a user reads: the status texts exactly, once each, and a progress display that never
// mixes into them.
#include "cli/terminal_view.h"

#include <gtest/gtest.h>

#include <sstream>

#include "upgrade/status_texts.h"

namespace quenfall::cli {
namespace {

TEST(TerminalView, PrintsEachNewStatusTextExactlyOnceAndProgressByTenthsIntoAFile) {
    std::ostringstream out, err;
    TerminalView view(out, err, /*terminal=*/false);
    view.SetProgressWidth(0);
    view.SetStatusText(EnteringBootModeText);
    view.SetStatusText(EnteringBootModeText);
    view.SetStatusText(UpgradingText);
    for (int w : {71, 142, 177, 213, 355, 532, 710}) view.SetProgressWidth(w);
    view.SetProgressWidth(0);
    view.SetStatusText(UpgradeCompleteText);
    view.ShowInfo(CompletionMessage);
    EXPECT_EQ(out.str(),
              "Entering BOOT Mode...\n"
              "The program is being upgraded, please wait patiently...\n"
              "Progress: 10%\n"
              "Progress: 20%\n"
              "Progress: 30%\n"
              "Progress: 50%\n"
              "Progress: 74%\n"
              "Progress: 100%\n"
              " Program upgrade is complete!\n"
              "Data transmitted successfully. Please wait for radio to reset to confirm successful write!\n");
    EXPECT_TRUE(view.Completed());
    EXPECT_EQ(err.str(), "");
}

TEST(TerminalView, ALaterFailureTakesBackTheCompletion) {
    std::ostringstream out, err;
    TerminalView view(out, err, false);
    view.SetStatusText(UpgradeCompleteText);
    view.SetStatusText(CommunicationErrorText);
    EXPECT_FALSE(view.Completed());
    view.ShowError(CannotConnectMessage, ErrorCaption);
    EXPECT_TRUE(view.ErrorShown());
    EXPECT_EQ(err.str(), "Error: Unable to connected,Please check whether the device is connected.\n");
    EXPECT_EQ(out.str(), " Program upgrade is complete!\n Communication Error!\n");
}

TEST(TerminalView, OnATerminalTheBarIsDrawnInPlaceAndClearedBeforeAStatusLine) {
    std::ostringstream out, err;
    TerminalView view(out, err, /*terminal=*/true);
    view.SetStatusText(UpgradingText);
    view.SetProgressWidth(355);
    const std::string bar = "\r[" + std::string(20, '#') + std::string(20, '.') + "] 50%";
    EXPECT_EQ(out.str(), std::string(UpgradingText) + "\n" + bar);
    out.str("");
    view.SetStatusText(UpgradeFailedText);
    const std::string clear = "\r" + std::string(52, ' ') + "\r";
    EXPECT_EQ(out.str(), clear + "Program upgrade failed!\n" + bar) << "the bar comes back under the text";
    out.str("");
    view.Finish();
    EXPECT_EQ(out.str(), clear);
}

// Told the run's progress, the line under the texts shows percentage, blocks, time left and
// phase, within a terminal of 60 columns, and goes when the run has ended.
TEST(TerminalView, OnATerminalTheLineNamesTimeLeftAndPhaseWithinTheWidth) {
    using namespace std::chrono_literals;
    std::ostringstream out, err;
    TerminalView view(out, err, /*terminal=*/true, [] { return std::size_t{60}; });
    view.SetStatusText(EnteringBootModeText);
    view.RunProgressChanged({RunPhase::RadioRestarting, 0, 512, 0, 17400ms});
    EXPECT_EQ(out.str(), std::string(EnteringBootModeText) + "\n\r  0% 0/512 0:18 left radio restarting, do not unplug");
    out.str("");
    view.RunProgressChanged({RunPhase::Uploading, 256, 512, 50, 7100ms});
    const std::string line = "\r 50% 256/512 0:08 left uploading";
    const std::size_t before = std::string("  0% 0/512 0:18 left radio restarting, do not unplug").size();
    EXPECT_EQ(out.str(), line + std::string(before - (line.size() - 1), ' ') + line) << "the longer line before is blanked";
    out.str("");
    view.SetStatusText(UpgradeCompleteText);
    const std::string blank = "\r" + std::string(line.size() - 1, ' ') + "\r";
    EXPECT_EQ(out.str(), blank + " Program upgrade is complete!\n" + line);
    out.str("");
    view.RunProgressChanged({RunPhase::Ended, 512, 512, 100, 0ms});
    EXPECT_EQ(out.str(), blank);
}

}  // namespace
}  // namespace quenfall::cli
