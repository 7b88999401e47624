// The start-up options both faces' entries read through the one parser.
#include <gtest/gtest.h>

#include <vector>

#include "window/start_options.h"
#include "window/window_texts.h"

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
    // --screenshot without its file and unknown options are usage errors naming the option,
    // so that a mistyped option never starts the window against a real radio; a word that
    // is no option is the package.
    EXPECT_TRUE(Read({u"--screenshot"}).ScreenshotFile.empty());
    EXPECT_EQ(Read({u"--screenshot"}).Error, "--screenshot needs a file name");
    EXPECT_EQ(Read({u"--shop", u"--emulate-fault"}).Error, "--emulate-fault needs a fault");
    for (const char16_t* typo : {u"--frobnicate", u"-emulate", u"--EMULATE", u"--emualte"}) {
        const StartOptions wrong = Read({u"emulate", std::u16string(typo)});
        EXPECT_FALSE(wrong.Emulate);
        EXPECT_EQ(wrong.Error, "unknown option " + Utf8(typo));
    }
    EXPECT_EQ(Read({u"emulate"}).PackageFile, u"emulate");
    EXPECT_TRUE(Read({u"emulate"}).Error.empty());
    EXPECT_TRUE(Read({u"--help"}).Help);
    EXPECT_TRUE(Read({u"-h"}).Help);
    EXPECT_TRUE(Read({u"--version"}).Version);
    EXPECT_NE(StartUsage().find("--emulate [N]"), std::string::npos);
    EXPECT_EQ(StartVersion().rfind("quenfall ", 0), 0u);
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

namespace {

TEST(StartOptions, ShopEmulatedCrateAndPackage) {
    const StartOptions none = Read({});
    EXPECT_FALSE(none.Shop);
    EXPECT_EQ(none.EmulatedRadios, 1u);
    EXPECT_TRUE(none.PackageFile.empty());

    const StartOptions shop = Read({u"--shop", u"--emulate", u"4", u"/tmp/fw \u6d4b.bin"});
    EXPECT_TRUE(shop.Shop);
    EXPECT_TRUE(shop.Emulate);
    EXPECT_EQ(shop.EmulatedRadios, 4u);
    EXPECT_EQ(shop.PackageFile, u"/tmp/fw \u6d4b.bin");

    // --emulate alone means one radio, and the word after it is the package when it is no count.
    const StartOptions one = Read({u"--emulate", u"4.bin"});
    EXPECT_TRUE(one.Emulate);
    EXPECT_EQ(one.EmulatedRadios, 1u);
    EXPECT_EQ(one.PackageFile, u"4.bin");
    // The package may come first, and the first of several words is the one loaded.
    const StartOptions first = Read({u"a.bin", u"--shop", u"b.bin"});
    EXPECT_EQ(first.PackageFile, u"a.bin");
    EXPECT_TRUE(first.Shop);
    // 0 is no count: a word of its own (then the package). A larger number, or a word after
    // the package is named, was meant as the count: it is refused with the range.
    EXPECT_EQ(Read({u"--emulate", u"0"}).EmulatedRadios, 1u);
    EXPECT_EQ(Read({u"--emulate", u"0"}).PackageFile, u"0");
    EXPECT_EQ(Read({u"--emulate", u"64"}).EmulatedRadios, 64u);
    EXPECT_EQ(Read({u"--emulate", u"65"}).EmulatedRadios, 1u);
    EXPECT_EQ(Read({u"--emulate", u"65"}).Error, "--emulate takes 1 to 64 radios, not \"65\"");
    EXPECT_EQ(Read({u"--emulate", u"1000"}).Error, "--emulate takes 1 to 64 radios, not \"1000\"");
    EXPECT_EQ(Read({u"--emulate", u"99999999999999999999999"}).Error,
              "--emulate takes 1 to 64 radios, not \"99999999999999999999999\"");
    EXPECT_EQ(Read({u"fw.bin", u"--shop", u"--emulate", u"abc"}).Error, "--emulate takes 1 to 64 radios, not \"abc\"");
    EXPECT_TRUE(Read({u"fw.bin", u"--emulate", u"--shop"}).Error.empty());
    EXPECT_EQ(Read({u"--emulate", u"-3"}).EmulatedRadios, 1u);
    EXPECT_TRUE(Read({u"--emulate", u"-3"}).PackageFile.empty());
    // The screenshot's file is not the package.
    EXPECT_TRUE(Read({u"--screenshot", u"shot.png"}).PackageFile.empty());

    // Faults are kept as given, in order, for the radios' start to read; the word after
    // --emulate-fault is never the package.
    const StartOptions faulty =
        Read({u"--shop", u"--emulate-fault", u"lost@2", u"--emulate-fault", u"x.bin", u"fw.bin"});
    EXPECT_EQ(faulty.EmulationFaults, (std::vector<std::u16string>{u"lost@2", u"x.bin"}));
    EXPECT_EQ(faulty.PackageFile, u"fw.bin");
    // Station mode is the shop window's; without --shop the word is refused, not passed over,
    // so nobody believes radios are upgraded as they arrive in the main window.
    const StartOptions station = Read({u"--shop", u"--station", u"--emulate", u"3", u"fw.bin"});
    EXPECT_TRUE(station.Error.empty()) << station.Error;
    EXPECT_TRUE(station.Station);
    EXPECT_EQ(station.EmulatedRadios, 3u);
    EXPECT_FALSE(Read({u"--shop"}).Station) << "off unless asked for";
    EXPECT_EQ(Read({u"--station"}).Error, "--station needs --shop");
    EXPECT_EQ(Read({u"--shop", u"--statoin"}).Error, "unknown option --statoin");
}

}  // namespace
