// The window's decisions without any window system: a recording face, virtual time, the
// emulated radio. Both faces only render what is decided here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "package/package_writer.h"
#include "emulator/emulated_radio.h"
#include "upgrade/status_texts.h"
#include "upgrade/virtual_clock.h"
#include "failing_read_link.h"
#include "recording_face.h"
#include "protocol/key_tables.h"
#include "window/flash_window.h"
#include "window/start_options.h"
#include "package/package_loader.h"
#include "window/tooltips.h"
#include "window/window_texts.h"
#include "window_run_fixtures.h"

using namespace quenfall;
using namespace quenfall::window;

namespace {

using test::RecordedBox;
using test::RecordingFace;

using test::RadioConfig;

std::filesystem::path WritePackageFile(
    std::filesystem::path path = std::filesystem::temp_directory_path() / "quenfall-flash-window-test.bin") {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections.push_back({0, 0, std::vector<std::uint8_t>(5000, 0x5a)});
    const auto bytes = WritePackage(spec);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    return path;
}

using test::FailingReadLink;

TEST(FlashWindow, FormShowSetsTheTextsOnceAndReportsAMissingRadio) {
    EmulatedRadio radio(RadioConfig());
    radio.Unplug();
    RecordingFace face;
    VirtualClock clock;
    FlashWindow window(radio, face, clock, u"Quenfall");
    window.Shown();
    const std::vector<std::string> expected = {
        "Label2=Quenfall v7.1", "Caption=Quenfall v7.1", "Label4=For All Model.", "Label1=Firmware",
        "Button2=Upgrade",      "Button1=Select(*.bin,*.boot)", "Label5= No device detected!", "Image3.Width=0"};
    EXPECT_EQ(face.calls, expected);
    // Restoring the window shows it again; FormShow does not run again.
    radio.PlugIn();
    window.Shown();
    EXPECT_EQ(face.calls.size(), expected.size());
    EXPECT_TRUE(window.CloseQuery());
}

TEST(FlashWindow, EachControlTakesOnlyItsOwnInput) {
    EmulatedRadio radio(RadioConfig());
    RecordingFace face;
    VirtualClock clock;
    FlashWindow window(radio, face, clock, u"Quenfall");
    window.Shown();
    face.calls.clear();

    // Only the left button on the background drags.
    window.MouseDown(ControlId::Image1, MouseButton::Right);
    window.MouseDown(ControlId::Image1, MouseButton::Middle);
    for (ControlId other : {ControlId::Label6, ControlId::Image2, ControlId::Image3, ControlId::Label4}) {
        window.MouseDown(other, MouseButton::Left);
    }
    EXPECT_TRUE(face.calls.empty());
    window.MouseDown(ControlId::Image1, MouseButton::Left);
    EXPECT_EQ(face.calls, std::vector<std::string>{"StartSystemMove"});

    // The hand over Label3 and Label4 only; only Label3 opens the address.
    face.calls.clear();
    window.MouseMove(ControlId::Label6);
    window.MouseMove(ControlId::Label4);
    window.MouseLeave(ControlId::Label4);
    window.Click(ControlId::Label4);
    window.Click(ControlId::Label6);
    window.Click(ControlId::Label3);
    window.Click(ControlId::SpeedButton2);
    window.Click(ControlId::SpeedButton1);
    EXPECT_EQ(face.calls, (std::vector<std::string>{"HandCursor", "DefaultCursor", "Open https://quenfall.example.org",
                                                    "Minimise", "RequestClose"}));
}

TEST(FlashWindow, ATimerFailingOnEveryTickOpensOneBox) {
    EmulatedRadio radio(RadioConfig());
    FailingReadLink link(radio);
    RecordingFace face;
    VirtualClock clock;
    FlashWindow window(link, face, clock, u"Quenfall");
    clock.SetDispatch([&](TimerId id) { window.Timer(id); });
    window.Shown();
    const auto package = WritePackageFile();
    face.answers.push_back(ChosenFile{package, u"package.bin"});
    window.Click(ControlId::Button1);
    ASSERT_NE(window.LoadedPackage(), nullptr);

    // The box's own message loop goes on firing the failing poll timer.
    int depth = 0;
    int deepest = 0;
    face.whileOpen = [&](const RecordedBox&) {
        deepest = std::max(deepest, ++depth);
        clock.RunTicks(50);
        --depth;
    };
    window.Click(ControlId::Button2);
    clock.RunTicks(1);
    ASSERT_EQ(face.boxes.size(), 1u);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(face.boxes[0].Text, u"the drive went away.");
    EXPECT_EQ(face.boxes[0].Icon, BoxIcon::Error);
    EXPECT_EQ(face.boxes[0].Owner, BoxOwner::Window);
    EXPECT_EQ(face.boxes[0].Caption, u"Quenfall");

    // Closed: the same failure of the same timer is not shown again, the window takes
    // clicks, and another failure is reported.
    face.whileOpen = nullptr;
    clock.RunTicks(100);
    EXPECT_EQ(face.boxes.size(), 1u);
    std::filesystem::remove(package);
    face.answers.push_back(ChosenFile{package, u"gone.bin"});
    window.Click(ControlId::Button1);
    ASSERT_EQ(face.boxes.size(), 2u);
    EXPECT_EQ(face.boxes[1].Icon, BoxIcon::Error);
    EXPECT_EQ(face.texts[static_cast<std::size_t>(ControlId::Edit1)], u"package.bin");
    // Still entering boot mode: closing is allowed.
    EXPECT_TRUE(window.CloseQuery());
}

TEST(FlashWindow, EnterPressesTheFocusedPushButtonOnly) {
    EmulatedRadio radio(RadioConfig());
    RecordingFace face;
    VirtualClock clock;
    FlashWindow window(radio, face, clock, u"Quenfall");
    window.Shown();
    // Enter on anything but a push button, and any other key, is left to the face.
    EXPECT_FALSE(window.KeyDown(ControlId::Edit1, Key::Enter));
    EXPECT_FALSE(window.KeyDown(ControlId::SpeedButton1, Key::Enter));
    EXPECT_FALSE(window.KeyDown(ControlId::Button1, Key::Other));
    EXPECT_TRUE(face.filters.empty());

    // On Button1 it is a click: the dialog opens (and is cancelled here).
    EXPECT_TRUE(window.KeyDown(ControlId::Button1, Key::Enter));
    EXPECT_EQ(face.filters, std::vector<std::u16string>{PackageFilter()});
    // On Button2 with a package: the run starts.
    const auto package = WritePackageFile();
    face.answers.push_back(ChosenFile{package, u"package.bin"});
    EXPECT_TRUE(window.KeyDown(ControlId::Button1, Key::Enter));
    ASSERT_NE(window.LoadedPackage(), nullptr);
    EXPECT_TRUE(window.KeyDown(ControlId::Button2, Key::Enter));
    EXPECT_EQ(window.StatusText(), Utf16(EnteringBootModeText));
    std::filesystem::remove(package);
}

TEST(FlashWindow, ThePackageOfTheCommandLineIsLoadedAsSelectWouldLoadIt) {
    // A folder of its own: the suite's cases run side by side.
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("quenfall-start-package-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder);
    const auto good = WritePackageFile(folder / "good.bin");
    const auto bad = folder / "bad.bin";
    std::ofstream(bad, std::ios::binary) << std::string(200, 'x');

    const auto start = [](const std::filesystem::path& path) {
        StartOptions options;
        options.PackageFile = path.u16string();
        return StartPackage(options);
    };
    EXPECT_FALSE(StartPackage(StartOptions{}).has_value());

    {
        EmulatedRadio radio(RadioConfig());
        RecordingFace face;
        VirtualClock clock;
        FlashWindow window(radio, face, clock, u"Quenfall");
        auto chosen = start(good);
        ASSERT_TRUE(chosen.has_value());
        EXPECT_TRUE(chosen->Path.is_absolute());
        window.SetStartPackage(*chosen);
        window.Shown();
        ASSERT_NE(window.LoadedPackage(), nullptr);
        EXPECT_TRUE(face.filters.empty()) << "no dialog";
        EXPECT_EQ(face.Text(ControlId::Edit1), good.u16string());
        // Loaded after the form's texts, as a Select right after showing.
        EXPECT_EQ(face.calls.back(), "Edit1=" + good.string());
        // The file's SHA-256 rests on Edit1, as inspect and the history name it.
        ASSERT_EQ(window.LoadedPackage()->Sha256.size(), 64u);
        EXPECT_EQ(face.tooltips[static_cast<std::size_t>(ControlId::Edit1)],
                  u"SHA-256 " + Utf16(window.LoadedPackage()->Sha256));
        EXPECT_TRUE(face.boxes.empty());
        // Shown again (restored): not loaded again.
        face.calls.clear();
        window.Shown();
        EXPECT_TRUE(face.calls.empty());
        window.Click(ControlId::Button2);
        EXPECT_EQ(window.StatusText(), Utf16(EnteringBootModeText));
    }
    {
        // Refused: the main window's refusal box, Edit1 empty, nothing loaded.
        EmulatedRadio radio(RadioConfig());
        RecordingFace face;
        VirtualClock clock;
        FlashWindow window(radio, face, clock, u"Quenfall");
        window.SetStartPackage(*start(bad));
        window.Shown();
        EXPECT_EQ(window.LoadedPackage(), nullptr);
        ASSERT_EQ(face.boxes.size(), 1u);
        EXPECT_EQ(face.boxes[0].Text, Utf16(PackageMismatchText));
        EXPECT_EQ(face.boxes[0].Owner, BoxOwner::Screen);
        EXPECT_EQ(face.Text(ControlId::Edit1), u"");
        // The window's texts stay its own; the file box's tooltip names the file and why.
        EXPECT_EQ(face.tooltips[static_cast<std::size_t>(ControlId::Edit1)],
                  bad.u16string() + u": " + Utf16(LoadPackage(bad).Reason));
    }
    {
        // Not there: the default error display, as for a file that went away before Select read it.
        EmulatedRadio radio(RadioConfig());
        RecordingFace face;
        VirtualClock clock;
        FlashWindow window(radio, face, clock, u"Quenfall");
        window.SetStartPackage(*start(folder / "missing.bin"));
        window.Shown();
        EXPECT_EQ(window.LoadedPackage(), nullptr);
        ASSERT_EQ(face.boxes.size(), 1u);
        EXPECT_EQ(face.boxes[0].Icon, BoxIcon::Error);
        EXPECT_EQ(face.Text(ControlId::Label2), TitleText) << "the form's texts were set all the same";
    }
    std::filesystem::remove_all(folder);
}

TEST(WindowLayout, TabOrderIsTheLayoutsAndTooltipsAreTheWindows) {
    // Read from the layout's TabOrder, not from the order of creation.
    EXPECT_EQ(TabOrder(), (std::vector<ControlId>{ControlId::Edit1, ControlId::Button1, ControlId::Button2}));
    for (const ControlSpec& spec : Layout()) {
        const bool focusable = spec.TabOrder >= 0;
        EXPECT_EQ(focusable, spec.Kind == ControlKind::Edit || spec.Kind == ControlKind::PushButton) << spec.Name;
    }

    EXPECT_EQ(Tooltip(ControlId::SpeedButton1), u"Close");
    EXPECT_EQ(Tooltip(ControlId::SpeedButton2), u"Minimized");
    const std::u16string keySet =
        u"Key set " + Utf16(KeySetName()) + u", fingerprint " + Utf16(KeySetFingerprint());
    EXPECT_EQ(Tooltip(ControlId::Image2), keySet);
    EXPECT_EQ(Tooltip(ControlId::Label2), keySet);
    EXPECT_FALSE(KeySetName().empty());
    for (ControlId none : {ControlId::Image1, ControlId::Label5, ControlId::Edit1, ControlId::Button1, ControlId::Label4}) {
        EXPECT_TRUE(Tooltip(none).empty()) << Spec(none).Name;
    }
}

TEST(WindowTexts, Utf8AndUtf16RoundTripAndMarkBrokenSequences) {
    const std::string text = "Gr\xC3\xBC\xC3\x9F \xE6\xB5\x8B \xF0\x9F\x93\xBB";
    EXPECT_EQ(Utf16(text), u"Gr\u00fc\u00df \u6d4b \U0001F4FB");
    EXPECT_EQ(Utf8(Utf16(text)), text);
    // A lone continuation byte, a truncated sequence, an overlong form, an encoded surrogate.
    EXPECT_EQ(Utf16("a\x80" "b\xE6\xB5" "c\xC0\xAF" "d\xED\xA0\x80"), u"a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFDd\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(DefaultErrorText(u"Cannot open"), u"Cannot open.");
    EXPECT_EQ(DefaultErrorText(u"Done!"), u"Done!");
}

TEST(WindowTexts, DefaultErrorTextAddsAFullStopOnlyAfterCharactersAboveIt) {
    EXPECT_EQ(DefaultErrorText(u"Cannot open file"), u"Cannot open file.");
    EXPECT_EQ(DefaultErrorText(u"error 5"), u"error 5.");
    EXPECT_EQ(DefaultErrorText(u"Done."), u"Done.");
    EXPECT_EQ(DefaultErrorText(u"Failed!"), u"Failed!");
    // ')' and ' ' sort below '.', '/' just above it.
    EXPECT_EQ(DefaultErrorText(u"(denied)"), u"(denied)");
    EXPECT_EQ(DefaultErrorText(u"trailing "), u"trailing ");
    EXPECT_EQ(DefaultErrorText(u"/tmp/"), u"/tmp/.");
    EXPECT_EQ(DefaultErrorText(u""), u"");
}

TEST(WindowTexts, InstructionTextsKeepTheirBlanks) {
    const std::string_view step1 = Step1Text;
    EXPECT_NE(step1.find("by  the"), std::string_view::npos);
    const std::string_view step2 = Step2Text;
    EXPECT_NE(step2.find("pressed \r            Or"), std::string_view::npos);
    EXPECT_EQ(step2.find('\n'), std::string_view::npos);
    const std::string_view step3 = Step3Text;
    EXPECT_NE(step3.find("(*.bin,*.boot)  from"), std::string_view::npos);
    EXPECT_TRUE(step3.ends_with("\"Upgrade\" button to Upgrade ! "));
    EXPECT_TRUE(Step4Text.ends_with("write ! "));
}

TEST(WindowTexts, ApplicationTitleIsTheNameUpToItsFirstFullStop) {
    // The face's case mapping stands in as a plain ASCII one here.
    const auto lower = [](std::u16string_view text) {
        std::u16string out(text);
        for (char16_t& c : out) {
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        }
        return out;
    };
    EXPECT_EQ(ApplicationTitle(u"QUENFALL.EXE", lower), u"Quenfall");
    EXPECT_EQ(ApplicationTitle(u"quenfall", lower), u"quenfall");
    EXPECT_EQ(ApplicationTitle(u"Quen.Fall.exe", lower), u"Quen");
    EXPECT_EQ(ApplicationTitle(u"QF_Tool-V7.1.exe", lower), u"Qf_tool-v7");
    EXPECT_EQ(ApplicationTitle(u".hidden", lower), u"");
    EXPECT_EQ(ApplicationTitle(u"Q", lower), u"Q");
}

}  // namespace
