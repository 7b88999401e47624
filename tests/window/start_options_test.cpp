// The start-up options both faces' entries read through the one parser.
#include <gtest/gtest.h>

#include <vector>

#include "window/start_options.h"

using namespace quenfall::window;

namespace {

StartOptions Read(std::vector<std::u16string> arguments, std::optional<std::u16string_view> emulate = std::nullopt) {
    return ReadStartOptions(arguments, emulate);
}

TEST(StartOptions, CommandLineAndEnvironment) {
    const StartOptions none = Read({});
    EXPECT_FALSE(none.Emulate);
    EXPECT_FALSE(none.ExitWhenShown);
    EXPECT_TRUE(none.ScreenshotFile.empty());
    EXPECT_FALSE(none.ExitsWhenShown());

    const StartOptions all = Read({u"--emulate", u"--exit-when-shown", u"--screenshot", u"shot \u6d4b.png"});
    EXPECT_TRUE(all.Emulate);
    EXPECT_TRUE(all.ExitWhenShown);
    EXPECT_EQ(all.ScreenshotFile, u"shot \u6d4b.png");

    // A screenshot alone also ends the program once the window is painted.
    const StartOptions shot = Read({u"--screenshot", u"a.png"});
    EXPECT_FALSE(shot.ExitWhenShown);
    EXPECT_TRUE(shot.ExitsWhenShown());
    // --screenshot without its file, unknown options and the option's value as a word of its
    // own are passed over.
    EXPECT_TRUE(Read({u"--screenshot"}).ScreenshotFile.empty());
    EXPECT_FALSE(Read({u"--frobnicate", u"emulate", u"-emulate", u"--EMULATE"}).Emulate);
    // The file after --screenshot is not read as an option.
    const StartOptions fileNamedLikeAnOption = Read({u"--screenshot", u"--emulate"});
    EXPECT_EQ(fileNamedLikeAnOption.ScreenshotFile, u"--emulate");
    EXPECT_FALSE(fileNamedLikeAnOption.Emulate);
}

TEST(StartOptions, EmulateVariableIsOnUnlessEmptyOrZero) {
    EXPECT_FALSE(Read({}, u"").Emulate);
    EXPECT_FALSE(Read({}, u"0").Emulate);
    EXPECT_TRUE(Read({}, u"1").Emulate);
    EXPECT_TRUE(Read({}, u"yes").Emulate);
    // Long values count as well (the Win32 entry once ignored values of eight characters or more).
    EXPECT_TRUE(Read({}, u"emulate-please").Emulate);
    EXPECT_TRUE(Read({}, u"00").Emulate);
    // The command line switches it on even where the variable says "0".
    EXPECT_TRUE(Read({u"--emulate"}, u"0").Emulate);
}

}  // namespace
