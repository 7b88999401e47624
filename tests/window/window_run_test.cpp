// The window's behaviour over whole runs, once for both faces: a recording face, virtual
// time, the emulated radio. What a face adds (drawing, real timers, native boxes and
// dialogs) is tested in tests/ui.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>

#include "failing_read_link.h"
#include "german_catalogue.h"
#include "history/history_reading.h"
#include "history/history_recorder.h"
#include "startup/window_history.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "emulator/emulated_radio.h"
#include "emulator/emulated_radio_link.h"
#include "recording_face.h"
#include "startup/radio_choice.h"
#include "startup/window_link.h"
#include "upgrade/status_texts.h"
#include "upgrade/virtual_clock.h"
#include "window/flash_window.h"
#include "window/tooltips.h"
#include "window/window_accessibility.h"
#include "window/window_texts.h"
#include "window_run_fixtures.h"

using namespace quenfall;
using namespace quenfall::window;
using namespace std::chrono_literals;
using test::RecordedBox;
using test::RecordingFace;

namespace {

using test::CountingLink;
using test::RadioConfig;
using test::TwoSectionSpec;

class Packages {
public:
    Packages() {
        std::filesystem::create_directories(dir_);
        // A name no 8-bit code page holds: the loader must get it as it is.
        good = Write(u8"\u041f\u0440\u043e\u0448\u0438\u0432\u043a\u0430 \u6d4b\u8bd5.bin", WritePackage(TwoSectionSpec()));
        bad = Write(u8"broken.boot", WritePackage(TwoSectionSpec(), PackageFlaw::WrongCheckValue));
        missing = dir_ / "missing.bin";
    }
    ~Packages() { std::filesystem::remove_all(dir_); }
    static ChosenFile Chosen(const std::filesystem::path& path) { return {path, Utf16(Text(path))}; }
    static std::string Text(const std::filesystem::path& path) {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

    std::filesystem::path good, bad, missing;

private:
    std::filesystem::path Write(const std::u8string& name, const std::vector<std::uint8_t>& bytes) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // One folder per test: ctest runs the tests of this file side by side, each removing its own.
    std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
                                 ("quenfall-window-run-test-" +
                                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
};

// The window on a recording face and virtual time, its statuses and widths recorded.
struct WindowRig {
    explicit WindowRig(DeviceLink& link) : window(link, face, clock, u"Quenfall") {
        clock.SetDispatch([this](TimerId id) { window.Timer(id); });
        window.SetClock([this] { return std::chrono::steady_clock::time_point(clock.Now()); });
        window.OnStatusText([this](std::u16string_view text) { statuses.emplace_back(text); });
        window.OnProgressWidth([this](int width) { widths.push_back(width); });
    }
    bool Select(const std::filesystem::path& path) {
        face.answers.push_back(Packages::Chosen(path));
        window.Click(ControlId::Button1);
        return face.answers.empty();
    }

    RecordingFace face;
    VirtualClock clock;
    FlashWindow window;
    std::vector<std::u16string> statuses;
    std::vector<int> widths;
};

std::vector<std::u16string> Texts(std::initializer_list<std::string_view> texts) {
    std::vector<std::u16string> out;
    for (std::string_view text : texts) out.push_back(Utf16(text));
    return out;
}

TEST(WindowRun, WholeUpgradeShowsItsProgressThenTheBoxAfterThePause) {
    Packages files;
    EmulatedRadio radio(RadioConfig());
    WindowRig rig(radio);
    rig.window.Shown();
    EXPECT_EQ(rig.face.Text(ControlId::Label5), u"");  // a radio is there
    EXPECT_EQ(rig.face.Width(ControlId::Image3), 0);

    ASSERT_TRUE(rig.Select(files.good));
    EXPECT_EQ(rig.face.filters, std::vector<std::u16string>{u"Bin File (*.bin,*.boot)|*.bin;*.boot"});
    EXPECT_EQ(rig.face.Text(ControlId::Edit1), Utf16(Packages::Text(files.good)));
    ASSERT_NE(rig.window.LoadedPackage(), nullptr);
    EXPECT_TRUE(rig.face.boxes.empty());

    using Clock = std::chrono::steady_clock;
    Clock::time_point paintedAt{};
    Clock::time_point boxAt{};
    bool checkedWhileOpen = false;
    rig.face.whileOpen = [&](const RecordedBox&) {
        boxAt = Clock::now();
        // The outcome is on show behind the box, and the drive is closed only after it.
        EXPECT_EQ(rig.face.Text(ControlId::Label5), Utf16(UpgradeCompleteText));
        EXPECT_TRUE(rig.face.Visible(ControlId::Image4));
        EXPECT_FALSE(rig.window.Busy());
        EXPECT_EQ(radio.OpenChannels(), 1u);
        checkedWhileOpen = true;
    };
    rig.window.OnStatusText([&](std::u16string_view text) {
        if (text == Utf16(UpgradeCompleteText)) paintedAt = Clock::now();
    });
    rig.window.Click(ControlId::Button2);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return !rig.face.boxes.empty(); }, 60s));
    rig.clock.RunFor(100ms);

    ASSERT_TRUE(checkedWhileOpen);
    ASSERT_EQ(rig.face.boxes.size(), 1u);
    const RecordedBox& box = rig.face.boxes[0];
    EXPECT_EQ(box.Text, Utf16(CompletionMessage));
    EXPECT_EQ(box.Icon, BoxIcon::None);
    EXPECT_EQ(box.Owner, BoxOwner::Screen);
    EXPECT_EQ(box.Caption, u"Quenfall");
    EXPECT_EQ(box.Caption, rig.window.Title());
    // The completion is painted at once, and the box comes after the two-second pause.
    const auto box_call = std::find(rig.face.calls.begin(), rig.face.calls.end(), "Box " + std::string(CompletionMessage));
    ASSERT_NE(box_call, rig.face.calls.end());
    EXPECT_EQ(*(box_call - 1), "PaintNow");
    EXPECT_GE(boxAt - paintedAt, 1990ms);

    EXPECT_EQ(rig.statuses, Texts({EnteringBootModeText, UpgradingText, UpgradeCompleteText}));
    EXPECT_EQ(rig.widths, (std::vector<int>{0, 0, 177, 355, 532, 710, 0}));  // FormShow's 0 first
    // The bar's tooltip (and accessible value) follows the run with the estimate: the
    // percentage only rises, the phase is named, the time left runs down, and a completed
    // run ends at 100%. The status line's texts above are untouched by it.
    const std::vector<std::u16string>& tips = rig.face.progressTips;
    ASSERT_GE(tips.size(), 4u);
    EXPECT_EQ(tips.front().substr(0, 10), u"0%, about ");
    EXPECT_TRUE(tips.front().ends_with(u" left, entering boot mode")) << Utf8(tips.front());
    EXPECT_NE(std::find_if(tips.begin(), tips.end(), [](const std::u16string& t) { return t.ends_with(u" left, uploading"); }),
              tips.end());
    int percent = 0;
    for (std::size_t i = 0; i + 1 < tips.size(); ++i) {
        const int now = std::stoi(Utf8(tips[i]));
        EXPECT_GE(now, percent) << Utf8(tips[i]);
        percent = now;
    }
    EXPECT_EQ(tips.back(), u"100%, done");
    EXPECT_EQ(rig.face.Width(ControlId::Image3), 0);
    EXPECT_TRUE(rig.face.Visible(ControlId::Image4));
    EXPECT_FALSE(rig.face.Visible(ControlId::Image5));
    EXPECT_EQ(radio.OpenChannels(), 0u);
    EXPECT_EQ(radio.ExitsAnswered(), 1u);
    EXPECT_TRUE(radio.Violations().empty());
    EXPECT_TRUE(radio.CompareSections(SectionsOf(*rig.window.LoadedPackage())).empty());
    // Closing after the run is allowed.
    EXPECT_TRUE(rig.window.CloseQuery());
}

TEST(WindowRun, BusyRefusesSelectionAndClosingSilently) {
    Packages files;
    EmulatedRadio radio(RadioConfig());
    // The first block is never acknowledged: the upload stays under way for one answer
    // window, then ends as a communication error.
    radio.SetSilent(RequestMatch::Every(RequestKind::Block));
    WindowRig rig(radio);
    rig.window.Shown();
    ASSERT_TRUE(rig.Select(files.good));
    // While entering boot mode (Busy clear), closing is allowed.
    rig.window.Click(ControlId::Button2);
    EXPECT_FALSE(rig.window.Busy());
    EXPECT_TRUE(rig.window.CloseQuery());
    ASSERT_TRUE(rig.clock.RunUntil([&] { return rig.window.Busy(); }, 5s));

    rig.face.answers.push_back(Packages::Chosen(files.bad));
    rig.window.Click(ControlId::Button1);
    rig.window.KeyDown(ControlId::Button1, Key::Enter);
    EXPECT_EQ(rig.face.filters.size(), 1u);  // no dialog this time
    EXPECT_EQ(rig.face.answers.size(), 1u);
    rig.face.answers.clear();
    EXPECT_FALSE(rig.window.CloseQuery());
    // The close button asks to close; the face asks CloseQuery, which refuses.
    rig.face.calls.clear();
    rig.window.Click(ControlId::SpeedButton1);
    EXPECT_EQ(rig.face.calls, std::vector<std::string>{"RequestClose"});
    EXPECT_TRUE(rig.face.boxes.empty());
    EXPECT_EQ(rig.face.Text(ControlId::Edit1), Utf16(Packages::Text(files.good)));

    ASSERT_TRUE(rig.clock.RunUntil([&] { return rig.window.StatusText() == Utf16(CommunicationErrorText); }, 20s));
    EXPECT_FALSE(rig.window.Busy());
    EXPECT_TRUE(rig.face.Visible(ControlId::Image5));
    EXPECT_EQ(radio.OpenChannels(), 0u);
    EXPECT_TRUE(rig.face.boxes.empty());
    EXPECT_TRUE(rig.window.CloseQuery());
    // A failed run leaves the bar no estimate: the status line says how it ended.
    ASSERT_FALSE(rig.face.progressTips.empty());
    EXPECT_EQ(rig.face.progressTips.back(), u"");
}

TEST(WindowRun, PackageSelectionAcceptsRefusesCancelsAndReportsAnUnreadableFile) {
    Packages files;
    EmulatedRadio radio(RadioConfig());
    WindowRig rig(radio);
    rig.window.Shown();
    ASSERT_TRUE(rig.Select(files.good));
    const auto loaded = rig.window.LoadedPackage();
    const std::u16string goodText = Utf16(Packages::Text(files.good));

    // Cancelled: the dialog had the same filter; nothing changes.
    rig.window.Click(ControlId::Button1);
    ASSERT_EQ(rig.face.filters.size(), 2u);
    EXPECT_EQ(rig.face.filters[1], rig.face.filters[0]);
    EXPECT_EQ(rig.window.LoadedPackage(), loaded);
    EXPECT_EQ(rig.face.Text(ControlId::Edit1), goodText);
    EXPECT_TRUE(rig.face.boxes.empty());

    // Unreadable: the default error display; nothing was read, so nothing changed.
    ASSERT_TRUE(rig.Select(files.missing));
    ASSERT_EQ(rig.face.boxes.size(), 1u);
    const RecordedBox unreadable = rig.face.boxes[0];
    EXPECT_EQ(unreadable.Icon, BoxIcon::Error);
    EXPECT_EQ(unreadable.Owner, BoxOwner::Window);
    EXPECT_EQ(unreadable.Caption, rig.window.Title());
    const LoadResult expected = LoadPackage(files.missing);
    ASSERT_EQ(expected.Verdict, LoadVerdict::Unreadable);
    EXPECT_EQ(unreadable.Text, DefaultErrorText(Utf16(expected.Message)));
    EXPECT_NE(unreadable.Text.find(u"missing.bin"), std::u16string::npos);
    EXPECT_TRUE(unreadable.Text.ends_with(u'.') || unreadable.Text.ends_with(u'!') || unreadable.Text.back() < u'.');
    EXPECT_EQ(rig.window.LoadedPackage(), loaded);
    EXPECT_EQ(rig.face.Text(ControlId::Edit1), goodText);

    // Refused: the box first (Edit1 still showing the old path), then Edit1 emptied and
    // nothing loaded.
    std::u16string editWhileOpen;
    rig.face.whileOpen = [&](const RecordedBox&) { editWhileOpen = rig.face.Text(ControlId::Edit1); };
    ASSERT_TRUE(rig.Select(files.bad));
    ASSERT_EQ(rig.face.boxes.size(), 2u);
    EXPECT_EQ(rig.face.boxes[1].Text, u"The upgrade file does not match!");
    EXPECT_EQ(rig.face.boxes[1].Icon, BoxIcon::None);
    EXPECT_EQ(rig.face.boxes[1].Owner, BoxOwner::Screen);
    EXPECT_EQ(rig.face.boxes[1].Caption, rig.window.Title());
    EXPECT_EQ(editWhileOpen, goodText);
    EXPECT_EQ(rig.face.Text(ControlId::Edit1), u"");
    EXPECT_EQ(rig.window.LoadedPackage(), nullptr);

    // With nothing loaded the Upgrade button does nothing.
    rig.statuses.clear();
    rig.window.Click(ControlId::Button2);
    rig.clock.RunFor(50ms);
    EXPECT_TRUE(rig.statuses.empty());
    EXPECT_EQ(rig.face.boxes.size(), 2u);
    EXPECT_EQ(radio.Writes(), 0u);
}

TEST(WindowRun, NoRadioAtTheUpgradeClickShowsTheConnectionError) {
    Packages files;
    EmulatedRadio radio(RadioConfig());
    WindowRig rig(radio);
    rig.window.Shown();
    ASSERT_TRUE(rig.Select(files.good));
    radio.Unplug();
    rig.window.Click(ControlId::Button2);
    ASSERT_EQ(rig.face.boxes.size(), 1u);
    EXPECT_EQ(rig.face.boxes[0].Text, Utf16(CannotConnectMessage));
    EXPECT_EQ(rig.face.boxes[0].Caption, u"Error");
    EXPECT_EQ(rig.face.boxes[0].Icon, BoxIcon::Error);
    EXPECT_EQ(rig.face.boxes[0].Owner, BoxOwner::Window);
    EXPECT_EQ(rig.window.StatusText(), u"");
}

TEST(WindowRun, DeviceWatchScansAtOnceAndReportsOneSecondLater) {
    EmulatedRadio radio(RadioConfig());
    CountingLink link(radio);
    WindowRig rig(link);
    rig.window.Shown();
    EXPECT_EQ(rig.window.StatusText(), u"");
    const int scansBefore = link.scans;

    // A second notice within the second scans again but does not postpone the report,
    // which would then come at 1900 ms.
    rig.window.UsbDeviceChanged();
    EXPECT_EQ(link.scans, scansBefore + 1);
    rig.clock.RunFor(900ms);
    rig.window.UsbDeviceChanged();
    EXPECT_EQ(link.scans, scansBefore + 2);
    EXPECT_EQ(rig.window.StatusText(), u"");
    ASSERT_TRUE(rig.clock.RunUntil([&] { return rig.window.StatusText() == Utf16(DeviceConnectedText); }, 5s));
    EXPECT_GE(rig.clock.Now(), 990ms);
    EXPECT_LT(rig.clock.Now(), 1800ms);
    EXPECT_EQ(link.scans, scansBefore + 3);

    radio.Unplug();
    rig.window.UsbDeviceChanged();
    ASSERT_TRUE(rig.clock.RunUntil([&] { return rig.window.StatusText() == Utf16(NoDeviceText); }, 5s));
    EXPECT_TRUE(rig.face.boxes.empty());
}

TEST(WindowRun, FailedRegistrationShowsItsNumberFirstAndTheWindowWorksOn) {
    Packages files;
    EmulatedRadio radio(RadioConfig());
    WindowRig rig(radio);
    rig.window.RegistrationFailed("1063");
    ASSERT_EQ(rig.face.boxes.size(), 1u);
    EXPECT_EQ(rig.face.boxes[0].Text, u"1063");
    EXPECT_EQ(rig.face.boxes[0].Icon, BoxIcon::None);
    EXPECT_EQ(rig.face.boxes[0].Owner, BoxOwner::Screen);
    EXPECT_EQ(rig.face.boxes[0].Caption, rig.window.Title());

    rig.window.Shown();
    EXPECT_EQ(rig.face.caption, u"Quenfall v7.1");
    ASSERT_TRUE(rig.Select(files.good));
    EXPECT_NE(rig.window.LoadedPackage(), nullptr);
}

// The radio of --emulate, wired as start-up wires it: it takes the loaded package's model,
// restarts into boot mode (leaving the bus and coming back, which the device watch
// reports), then takes the upload.
TEST(WindowRun, EmulatedRadioOfStartUpRestartsIntoBootMode) {
    Packages files;
    std::deque<std::function<void()>> posted;
    VirtualClock* time = nullptr;
    EmulatedRadioLink link([&posted](std::function<void()> task) { posted.push_back(std::move(task)); },
                           [&time] { return time != nullptr ? time->Now() : 0ms; });
    WindowRig rig(link);
    time = &rig.clock;
    const auto windowRadio = EmulatedWindowRadioOver(link);
    startup::Attach(*windowRadio, rig.window);
    // The face's loop: posted tasks once the handler has returned, the radio's time passing.
    rig.clock.SetDispatch([&](TimerId id) {
        rig.window.Timer(id);
        link.Advance();
        while (!posted.empty()) {
            auto task = std::move(posted.front());
            posted.pop_front();
            task();
        }
    });
    rig.window.Shown();
    ASSERT_TRUE(rig.Select(files.good));

    rig.window.Click(ControlId::Button2);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return !rig.face.boxes.empty(); }, 60s));
    EXPECT_EQ(rig.face.boxes[0].Text, Utf16(CompletionMessage));
    // The upgrading text comes once on reopening the radio after its restart and once when
    // the radio confirms boot mode.
    EXPECT_EQ(rig.statuses, Texts({EnteringBootModeText, NoDeviceText, DeviceConnectedText, UpgradingText,
                                   UpgradingText, UpgradeCompleteText}));
    EXPECT_EQ(link.Radio().Restarts(), 1u);
    EXPECT_TRUE(link.Radio().Violations().empty());
    EXPECT_TRUE(link.Radio().CompareSections(SectionsOf(*rig.window.LoadedPackage())).empty());
}


// What the start-up's history hears of the window's runs.
class RecordingObserver : public RunObserver {
public:
    void RunEnded(const WindowRunEnd& run) override {
        runs.push_back(run);
        boxesAtEnd.push_back(boxes ? boxes->size() : 0);
    }
    std::string NoticeAfterRun() override { return std::exchange(notice, {}); }
    // These runs know no radio and no history: nothing is asked.
    std::optional<ModelChange> ModelChangeBefore(const Package&) override { return std::nullopt; }
    void ModelChangeAnswered(const ModelChange&, const std::shared_ptr<const Package>&, std::string_view, bool) override {
        throw std::logic_error("no model change was asked about");
    }
    std::vector<WindowRunEnd> runs;
    std::vector<std::size_t> boxesAtEnd;
    const std::vector<RecordedBox>* boxes = nullptr;
    std::string notice;
};

TEST(WindowRun, EachRunThatSentARequestIsToldOnceAsItsEndingIsShownAndANoticeComesInABoxOfItsOwn) {
    Packages files;
    EmulatedRadio radio(RadioConfig());
    WindowRig rig(radio);
    RecordingObserver history;
    history.boxes = &rig.face.boxes;
    rig.window.SetRunObserver(&history);
    rig.window.Shown();
    ASSERT_TRUE(rig.Select(files.good));

    // No radio: nothing was sent, so there is no run to record.
    radio.Unplug();
    rig.window.Click(ControlId::Button2);
    EXPECT_TRUE(history.runs.empty());
    radio.PlugIn();
    rig.face.boxes.clear();

    // A whole upgrade, recorded before the pause and the completion box; the history could
    // not be written, so one box says so after the completion box, and the status line
    // keeps the run's own text.
    history.notice = "This upgrade was not recorded in the history of upgrades (disk full).";
    rig.window.Click(ControlId::Button2);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return rig.face.boxes.size() >= 2; }, 60s));
    ASSERT_EQ(history.runs.size(), 1u);
    const WindowRunEnd& done = history.runs[0];
    EXPECT_TRUE(done.Completed);
    EXPECT_EQ(done.Outcome, UpgradeCompleteText);
    EXPECT_EQ(done.BlocksSent, 4u);
    EXPECT_EQ(done.RunPackage, rig.window.LoadedPackage());
    EXPECT_EQ(done.PackageName, Packages::Text(files.good.filename()));
    EXPECT_LE(done.Start, done.End);
    EXPECT_EQ(done.LastCommandProblem, "") << "every command went through";
    EXPECT_EQ(history.boxesAtEnd[0], 0u) << "recorded before the completion box";
    ASSERT_EQ(rig.face.boxes.size(), 2u);
    EXPECT_EQ(rig.face.boxes[0].Text, Utf16(CompletionMessage));
    EXPECT_EQ(rig.face.boxes[1].Text, u"This upgrade was not recorded in the history of upgrades (disk full).");
    EXPECT_EQ(rig.face.boxes[1].Icon, BoxIcon::None);
    EXPECT_EQ(rig.window.StatusText(), Utf16(UpgradeCompleteText));

    // A radio that stops answering: the failed run is recorded too, with its blocks; no
    // notice is left, so no further box.
    radio.SetSilent(RequestMatch::Every(RequestKind::Block));
    rig.window.Click(ControlId::Button2);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return history.runs.size() == 2; }, 60s));
    rig.clock.RunFor(1s);
    EXPECT_FALSE(history.runs[1].Completed);
    EXPECT_EQ(history.runs[1].Outcome, CommunicationErrorText);
    EXPECT_EQ(history.runs[1].BlocksSent, 1u);
    EXPECT_EQ(history.runs[1].LastCommandProblem, "") << "a silent radio is no failed command";
    EXPECT_EQ(rig.face.boxes.size(), 2u);
    EXPECT_EQ(history.runs.size(), 2u) << "one record per run";

    // The system fails the commands of the blocks: the record says what it saw of the last.
    radio.Faults() = Misbehaviour{};
    radio.SetFailedCommands(RequestMatch::Every(RequestKind::Block));
    rig.window.Click(ControlId::Button2);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return history.runs.size() == 3; }, 60s));
    EXPECT_FALSE(history.runs[2].Completed);
    EXPECT_NE(history.runs[2].LastCommandProblem.find("SCSI status 0x02"), std::string::npos)
        << history.runs[2].LastCommandProblem;
}


// The history says the emulated radio last completed a model-17 package: before a model-2
// package goes to it the window asks, No by default. No sends nothing and leaves the status
// line as it was; Yes upgrades it. Both answers are in the history, before the run's own record.
TEST(WindowRun, ARadioThatLastTookAnotherModelIsUpgradedOnlyWhenTheUserSaysYes) {
    const auto dir = std::filesystem::temp_directory_path() / "quenfall-window-model-change-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const auto file = dir / "history.jsonl";
    {
        HistoryRecord took17;
        took17.Start = "2026-12-01T09:58:00.000Z";
        took17.End = "2026-12-01T10:00:00.000Z";
        took17.Program = "quenfall";
        took17.Package = "radio17.bin";
        took17.ModelCode = 17;
        took17.Location = EmulatedLoneDrive().Location;
        took17.Serial = EmulatedLoneDrive().Serial;
        took17.Outcome = " Program upgrade is complete!";
        took17.Completed = true;
        took17.BlocksSent = 1;
        took17.Emulated = true;
        ASSERT_TRUE(HistoryRecorder(file).Record(took17));
    }
    PackageSpec spec = TwoSectionSpec();
    spec.ModelCode = 2;
    const auto package = dir / "radio2.bin";
    {
        const auto bytes = WritePackage(spec);
        std::ofstream(package, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    EmulatedRadio radio(RadioConfig());
    WindowRig rig(radio);
    startup::WindowHistory history(nullptr, true, "quenfall", file);
    rig.window.SetRunObserver(&history);
    rig.window.Shown();
    ASSERT_TRUE(rig.Select(package));
    const std::u16string before = rig.window.StatusText();
    const std::size_t statusesBefore = rig.statuses.size();

    rig.window.Click(ControlId::Button2);
    ASSERT_EQ(rig.face.questions.size(), 1u);
    const std::u16string& question = rig.face.questions[0].Text;
    EXPECT_EQ(rig.face.questions[0].Caption, u"Quenfall");
    EXPECT_NE(question.find(u"model code 17 (radio17.bin, 2026-12-01T10:00:00.000Z)"), std::u16string::npos);
    EXPECT_NE(question.find(u"this package is for model code 2."), std::u16string::npos);
    rig.clock.RunFor(5s);
    EXPECT_EQ(radio.Reads() + radio.Writes(), 0u) << "No sends nothing";
    EXPECT_FALSE(rig.window.Busy());
    EXPECT_EQ(rig.window.StatusText(), before);
    EXPECT_EQ(rig.statuses.size(), statusesBefore) << "the status line stays as it was";
    EXPECT_TRUE(rig.face.boxes.empty());

    rig.face.askAnswers.push_back(true);
    rig.window.Click(ControlId::Button2);
    ASSERT_EQ(rig.face.questions.size(), 2u);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return !rig.face.boxes.empty(); }, 60s));
    EXPECT_EQ(rig.face.boxes[0].Text, Utf16(CompletionMessage));
    EXPECT_EQ(rig.window.StatusText(), Utf16(UpgradeCompleteText));

    const std::vector<HistoryRecord> records = ReadHistoryFile(file).Records;
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].Outcome, "refused: model change from model code 17 (radio17.bin) to 2");
    EXPECT_EQ(records[1].BlocksSent, 0u);
    EXPECT_EQ(records[1].Serial, EmulatedLoneDrive().Serial);
    EXPECT_EQ(records[1].Program, "quenfall");
    EXPECT_EQ(records[2].Outcome, "model change allowed from model code 17 (radio17.bin) to 2");
    EXPECT_TRUE(records[3].Completed);
    EXPECT_EQ(records[3].ModelCode, 2u);
    std::filesystem::remove_all(dir);
}

TEST(WindowRun, TheStartUpsHistoryKeepsTheWindowsRunMarkedEmulatedAndTellsOnceWhenItCannot) {
    const auto dir = std::filesystem::temp_directory_path() / "quenfall-window-history-test";
    std::filesystem::remove_all(dir);
    startup::WindowHistory history(nullptr, true, "quenfall", dir / "history.jsonl");
    const LoadResult loaded = [] {
        Packages files;
        return LoadPackage(files.good);
    }();
    ASSERT_TRUE(loaded.Accepted);
    WindowRunEnd run;
    run.RunPackage = loaded.Accepted;
    run.PackageName = "fw.bin";
    run.Outcome = std::string(CommunicationErrorText);
    run.BlocksSent = 2;
    run.LastCommandProblem = "read: the radio answered with SCSI status 0x02";
    history.RunEnded(run);
    EXPECT_EQ(history.NoticeAfterRun(), "");
    const HistoryContents contents = ReadHistoryFile(dir / "history.jsonl");
    ASSERT_EQ(contents.Records.size(), 1u);
    const HistoryRecord& r = contents.Records[0];
    EXPECT_EQ(r.Program, "quenfall");
    EXPECT_TRUE(r.Emulated);
    EXPECT_FALSE(r.Completed);
    EXPECT_EQ(r.Outcome, CommunicationErrorText);
    EXPECT_EQ(r.Package, "fw.bin");
    EXPECT_EQ(r.TotalBlocks, loaded.Accepted->TotalBlocks);
    EXPECT_EQ(r.Node, "emulated");
    EXPECT_EQ(r.LastCommandProblem, run.LastCommandProblem);

    // A file in the way of its folder: the run goes on, and the notice comes once.
    std::ofstream(dir / "blocked") << "x";
    startup::WindowHistory blocked(nullptr, true, "quenfall", dir / "blocked" / "history.jsonl");
    blocked.RunEnded(run);
    blocked.RunEnded(run);
    EXPECT_TRUE(blocked.NoticeAfterRun().starts_with("This upgrade was not recorded in the history of upgrades"));
    EXPECT_EQ(blocked.NoticeAfterRun(), "");
    std::filesystem::remove_all(dir);
}

// With a catalogue chosen, the window shows its labels, buttons, status line, boxes and the
// bar's tooltip in that language, while what the run leaves for programs (the status texts
// told to observers, the run's record) stays English.
TEST(WindowRun, AChosenLanguageIsWhatThePersonReadsWhileTheRunsRecordsStayEnglish) {
    const test::GermanCatalogueInUse german;
    Packages files;
    EmulatedRadio radio(RadioConfig());
    WindowRig rig(radio);
    RecordingObserver history;
    rig.window.SetRunObserver(&history);
    rig.window.Shown();
    EXPECT_EQ(rig.face.Text(ControlId::Label1), u"Firmware-Datei");
    EXPECT_EQ(rig.face.Text(ControlId::Label4), u"Für alle Modelle.");
    EXPECT_EQ(rig.face.Text(ControlId::Button1), u"Auswählen(*.bin,*.boot)");
    EXPECT_EQ(rig.face.Text(ControlId::Button2), u"Aktualisieren");
    EXPECT_EQ(rig.face.Text(ControlId::Label2), u"Quenfall v7.1") << "the title stays as it is";
    EXPECT_EQ(Tooltip(ControlId::SpeedButton1), u"Schließen");
    EXPECT_EQ(AccessibleName(ControlId::SpeedButton1, {}), u"Schließen");
    // A text the catalogue lacks stays English, never empty.
    EXPECT_EQ(Tooltip(ControlId::SpeedButton2), u"Minimized");

    ASSERT_TRUE(rig.Select(files.good));
    EXPECT_EQ(rig.face.filters, std::vector<std::u16string>{u"Paketdatei (*.bin,*.boot)|*.bin;*.boot"});
    std::u16string shownBehindTheBox;
    rig.face.whileOpen = [&](const RecordedBox&) { shownBehindTheBox = rig.face.Text(ControlId::Label5); };
    rig.window.Click(ControlId::Button2);
    ASSERT_TRUE(rig.clock.RunUntil([&] { return !rig.face.boxes.empty(); }, 60s));

    EXPECT_EQ(shownBehindTheBox, u" Aktualisierung abgeschlossen!");
    ASSERT_EQ(rig.face.boxes.size(), 1u);
    EXPECT_EQ(rig.face.boxes[0].Text,
              u"Daten übertragen. Warten Sie, bis das Funkgerät neu startet, um das Schreiben zu bestätigen!");
    EXPECT_EQ(rig.face.boxes[0].Caption, u"Quenfall") << "the caption is the program's name";
    EXPECT_EQ(rig.face.progressTips.back(), u"100 %, fertig");
    EXPECT_NE(std::find(rig.face.calls.begin(), rig.face.calls.end(), "Label5=BOOT-Modus wird gestartet ..."),
              rig.face.calls.end());

    // The same run as programs keep it.
    EXPECT_EQ(rig.statuses, Texts({EnteringBootModeText, UpgradingText, UpgradeCompleteText}));
    EXPECT_EQ(rig.window.StatusText(), Utf16(UpgradeCompleteText));
    ASSERT_EQ(history.runs.size(), 1u);
    EXPECT_TRUE(history.runs[0].Completed);
    EXPECT_EQ(history.runs[0].Outcome, UpgradeCompleteText);
}

}  // namespace
