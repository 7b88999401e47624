// FlashPackage's endings other than success, on the emulated radio in real time: what the
// user reads and the exit status.
#include "cli/flash_command.h"
#include "cli/terminal_view.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "package/package_loader.h"
#include "package/package_writer.h"
#include "emulator/emulated_radio.h"
#include "upgrade/status_texts.h"

namespace quenfall::cli {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<const Package> SmallPackage() {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    spec.Sections = {{5, 5, std::vector<std::uint8_t>(3 * 2048, 0x5A)}};
    return LoadPackageImage(WritePackage(spec)).Accepted;
}

struct Wiring {
    explicit Wiring(EmulatedRadioConfig config) : radio(config) {
        radio.SetPresenceCallback([this](bool) { ++events; });
        options.TakeUsbEvents = [this] {
            radio.Advance();
            return std::exchange(events, 0);
        };
    }
    EmulatedRadio radio;
    int events = 0;
    FlashOptions options;
    std::ostringstream out, err;
};

TEST(FlashPackage, GivesUpOnARadioThatNeverComesBackFromItsRestart) {
    EmulatedRadioConfig config;
    config.Selection = SmallPackage()->Selection;
    config.ReturnsAfterRestart = false;
    Wiring w(config);
    w.options.RestartGiveUp = 300ms;
    TerminalView view(w.out, w.err, false);
    EXPECT_EQ(FlashPackage(SmallPackage(), w.radio, view, w.options), 1);
    EXPECT_EQ(w.out.str().rfind("Entering BOOT Mode...\n", 0), 0u);
    EXPECT_EQ(w.out.str().find(UpgradingText), std::string::npos);
    EXPECT_EQ(w.err.str(), "Error: " + std::string(RadioDidNotReturnText) + "\n");
}

TEST(FlashPackage, ARadioLostDuringTheUploadEndsInACommunicationError) {
    EmulatedRadioConfig config;
    config.Selection = SmallPackage()->Selection;
    config.StartsInBootMode = true;
    config.Faults.DisappearAtBlock = 1;
    Wiring w(config);
    TerminalView view(w.out, w.err, false);
    EXPECT_EQ(FlashPackage(SmallPackage(), w.radio, view, w.options), 1);
    EXPECT_EQ(w.out.str(),
              "Entering BOOT Mode...\n"
              "The program is being upgraded, please wait patiently...\n"
              "Progress: 33%\n"
              "Program upgrade failed!\n"
              " Communication Error!\n");
    EXPECT_EQ(w.radio.OpenChannels(), 0u) << "the handle is closed";
}

TEST(FlashPackage, NoRadioIsToldAndNothingRuns) {
    EmulatedRadioConfig config;
    config.Selection = SmallPackage()->Selection;
    Wiring w(config);
    w.radio.Unplug();
    TerminalView view(w.out, w.err, false);
    EXPECT_EQ(FlashPackage(SmallPackage(), w.radio, view, w.options), 1);
    EXPECT_EQ(w.out.str(), "");
    EXPECT_EQ(w.err.str(), "Error: " + std::string(CannotConnectMessage) + "\n");
    EXPECT_EQ(w.radio.Writes(), 0u);
}

TEST(FlashPackage, ACommunicationErrorNamesTheLastCommandThatDidNotGoThrough) {
    EmulatedRadioConfig config;
    config.Selection = SmallPackage()->Selection;
    config.StartsInBootMode = true;
    Wiring w(config);
    // The system fails the second block's read for good: its window expires.
    w.radio.SetFailedCommands(RequestMatch::NthOf(3, RequestKind::Block), 0,
                              OutcomeOfSystemError(EIO, ErrorCodes::Posix));
    TerminalView view(w.out, w.err, false);
    EXPECT_EQ(FlashOnTerminal(SmallPackage(), w.radio, view, w.options), 1);
    EXPECT_EQ(w.out.str(),
              "Entering BOOT Mode...\n"
              "The program is being upgraded, please wait patiently...\n"
              "Progress: 33%\n"
              " Communication Error!\n"
              "The last command that did not go through: read: the system failed the command (error " +
                  std::to_string(EIO) + ": " + std::strerror(EIO) + ")\n");

}

// Stopped from outside between two blocks: nothing more is sent, the drive is closed, no
// text claims success or an error, and the host is told the run was stopped.
TEST(FlashPackage, AStopEndsTheRunWhereItIsWithTheDriveClosed) {
    EmulatedRadioConfig config;
    config.Selection = SmallPackage()->Selection;
    config.StartsInBootMode = true;
    Wiring w(config);
    bool stopped = false;
    w.options.Stopped = &stopped;
    // Asked once the first block has been acknowledged (the second is then on its way).
    w.options.StopRequested = [&] { return w.radio.Writes() >= 3; };
    TerminalView view(w.out, w.err, false);
    EXPECT_EQ(FlashPackage(SmallPackage(), w.radio, view, w.options), 1);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(w.radio.Writes(), 3u) << "the enter request and two blocks, nothing after the stop";
    EXPECT_EQ(w.radio.OpenChannels(), 0u) << "the handle is closed";
    EXPECT_EQ(w.out.str().find(CommunicationErrorText), std::string::npos) << w.out.str();
    EXPECT_EQ(w.out.str().find(UpgradeCompleteText), std::string::npos) << w.out.str();
    EXPECT_EQ(w.err.str(), "");

    // Asked before it began: not a byte goes out.
    Wiring early(config);
    early.options.Stopped = &stopped;
    early.options.StopRequested = [] { return true; };
    stopped = false;
    TerminalView quiet(early.out, early.err, false);
    EXPECT_EQ(FlashPackage(SmallPackage(), early.radio, quiet, early.options), 1);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(early.radio.Writes(), 0u);
}

}  // namespace
}  // namespace quenfall::cli
