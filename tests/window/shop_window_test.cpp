// The shop window's decisions over whole runs in real time: a recording face, a crate of
// emulated radios that restart into boot mode and trade device names, the history in a
// file of the test's own. What a face adds (drawing, real timers, native boxes) is tested
// in tests/ui.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "emulator/emulated_radio_source.h"
#include "emulator/emulated_station_source.h"
#include "runs/radio_source.h"
#include "history/history_reading.h"
#include "history/history_recorder.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "emulator/emulated_crate.h"
#include "recording_shop_face.h"
#include "startup/shop_start.h"
#include "text/translation.h"
#include "upgrade/status_texts.h"
#include "window/shop_row_texts.h"
#include "window/shop_texts.h"
#include "window/shop_window.h"
#include "window/start_options.h"
#include "window/window_texts.h"

using namespace quenfall;
using namespace quenfall::window;
using test::RecordingShopFace;

namespace {

const ProfileSelection TestModel{0, 1, 0, 0};

// A folder of the case's own: the suite's cases run side by side.
class Folder {
public:
    Folder()
        : path_(std::filesystem::temp_directory_path() /
                ("quenfall-shop-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        std::filesystem::create_directories(path_);
    }
    ~Folder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Twelve blocks in one section.
std::filesystem::path WriteSmallPackage(const std::filesystem::path& path, std::uint32_t modelCode = 0) {
    PackageSpec spec;
    spec.ModelCode = modelCode;
    spec.ScrambleMode = TestModel.ScrambleMode;
    std::vector<std::uint8_t> data(12 * 2048);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 2048);
    spec.Sections = {{0, 0, std::move(data)}};
    const auto bytes = WritePackage(spec);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

ChosenFile Chosen(const std::filesystem::path& path) { return {path, path.u16string()}; }

// The face's refresh timer, as a face runs it: Refresh every interval while it is on, until
// it is switched off or a generous bound passes (a run of this package takes seconds).
void RefreshUntilIdle(ShopWindow& window, const RecordingShopFace& face) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (face.refreshOn && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(ShopRefreshInterval);
        window.Refresh();
    }
}

std::unique_ptr<EmulatedCrate> CrateOf(std::size_t radios, std::optional<std::size_t> lostAt = std::nullopt) {
    std::vector<EmulatedRadioConfig> configs;
    for (std::size_t i = 0; i < radios; ++i) {
        EmulatedRadioConfig config = EmulatedCrateRadio(i, radios, TestModel, {});
        if (lostAt == i) {
            config.RestartOnEnter = false;  // straight into the upload: the case is about the loss
            config.Faults.DisappearAtBlock = 5;
        }
        configs.push_back(std::move(config));
    }
    return std::make_unique<EmulatedCrate>(std::move(configs));
}

TEST(ShopWindow, FourRadiosUpgradedAtOnceEachFollowedThroughItsRestart) {
    Folder folder;
    const auto package = WriteSmallPackage(folder.Path() / "fw.bin");
    EmulatedRadioSource radios(4, ProfileSelection{});
    HistoryRecorder history(folder.Path() / "history.jsonl");
    RecordingShopFace face;
    ShopWindow window(radios, face, history, u"Quenfall");
    window.SetStartPackage(Chosen(package));
    window.Shown();

    EXPECT_EQ(face.caption, u"Quenfall Shop");
    EXPECT_EQ(face.Text(ShopControl::UpgradeAllButton), u"Upgrade all");
    EXPECT_EQ(face.Text(ShopControl::RetryFailedButton), u"Retry failed");
    EXPECT_EQ(face.Text(ShopControl::PackageEdit), package.u16string());
    EXPECT_EQ(face.Text(ShopControl::PackageVerdict), u"Model code 0, 1 section, 12 blocks, check value " +
                                                          Utf16(CheckValueText(static_cast<std::uint16_t>(
                                                              window.LoadedPackage()->Image.end()[-2] << 8 |
                                                              window.LoadedPackage()->Image.end()[-1]))) +
                                                          u", SHA-256 " + Utf16(window.LoadedPackage()->Sha256));
    EXPECT_EQ(window.LoadedPackage()->Sha256.size(), 64u);
    ASSERT_EQ(face.rows.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(face.rows[i].Location, Utf16(EmulatedCrate::PortLocation(i)));
        EXPECT_EQ(face.rows[i].Status, Utf16(DeviceConnectedText));
        EXPECT_EQ(face.rows[i].Outcome, RowOutcome::None);
    }
    EXPECT_EQ(face.rows[0].Node, u"/dev/sda");
    EXPECT_EQ(face.defaultButton, ShopControl::UpgradeAllButton);
    ASSERT_FALSE(face.focus.empty());
    EXPECT_EQ(face.focus.back(), ShopControl::UpgradeAllButton) << "once a package is loaded";
    EXPECT_TRUE(face.Enabled(ShopControl::UpgradeAllButton));
    EXPECT_FALSE(face.Enabled(ShopControl::RetryFailedButton));
    EXPECT_TRUE(face.timerCalls.empty());

    // Enter in the package's path presses Upgrade all, the default button.
    EXPECT_TRUE(window.KeyDown(ShopControl::PackageEdit, Key::Enter));
    EXPECT_TRUE(window.Running());
    EXPECT_TRUE(face.refreshOn);
    EXPECT_FALSE(face.Enabled(ShopControl::SelectButton));
    EXPECT_FALSE(face.Enabled(ShopControl::UpgradeAllButton));
    EXPECT_FALSE(face.Enabled(ShopControl::RetryFailedButton));
    // Nothing may start a second run of a radio, nor change the package, meanwhile.
    EXPECT_FALSE(window.KeyDown(ShopControl::RadioList, Key::Enter));
    window.Click(ShopControl::SelectButton);
    EXPECT_TRUE(face.filters.empty());
    // Closing is refused, and the box says why.
    EXPECT_FALSE(window.CloseQuery());
    ASSERT_EQ(face.boxes.size(), 1u);
    EXPECT_EQ(face.boxes[0].Text, Utf16(RunsGoOnText));
    EXPECT_EQ(face.boxes[0].Caption, u"Quenfall");
    // The rows stay as they are while radios restart and trade names.
    const int rowCounts = face.rowCountCalls;
    window.UsbDeviceChanged();
    EXPECT_EQ(face.rowCountCalls, rowCounts);

    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn) << "the runs did not end";
    EXPECT_FALSE(window.Running());
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(face.rows[i].Location, Utf16(EmulatedCrate::PortLocation(i)));
        EXPECT_EQ(face.rows[i].Status, Utf16(UpgradeCompleteText));
        EXPECT_EQ(face.rows[i].Outcome, RowOutcome::Success);
        EXPECT_EQ(face.rows[i].ProgressWidth, ProgressFullWidth);
        EXPECT_FALSE(face.rows[i].Elapsed.empty());
        EXPECT_TRUE(radios.Crate().Radio(i).CompareSections(SectionsOf(*window.LoadedPackage())).empty());
        EXPECT_EQ(radios.Crate().Radio(i).Restarts(), 1u);
    }
    // The last radio back took the first one's old name: only the location told them apart.
    EXPECT_EQ(face.rows[3].Node, u"/dev/sda");
    // Its row showed the new name while its run still went on, not only once all had ended.
    bool renamedDuringRun = false;
    for (std::size_t k = 0; k < face.setRows.size(); ++k) {
        renamedDuringRun = renamedDuringRun || (face.setRows[k] == 3 && face.setRowViews[k].Node == u"/dev/sda" &&
                                                face.setRowViews[k].Outcome == RowOutcome::None);
    }
    EXPECT_TRUE(renamedDuringRun);
    EXPECT_EQ(face.Text(ShopControl::Summary), u"4 of 4 radios upgraded");
    EXPECT_TRUE(window.CloseQuery());
    EXPECT_EQ(face.boxes.size(), 1u);
    EXPECT_TRUE(face.Enabled(ShopControl::UpgradeAllButton));
    EXPECT_FALSE(face.Enabled(ShopControl::RetryFailedButton)) << "nothing failed";

    const HistoryContents recorded = ReadHistoryFile(folder.Path() / "history.jsonl");
    ASSERT_EQ(recorded.Records.size(), 4u);
    for (const HistoryRecord& r : recorded.Records) {
        EXPECT_EQ(r.Program, "quenfall");
        EXPECT_EQ(r.Package, "fw.bin");
        EXPECT_TRUE(r.Completed);
        EXPECT_TRUE(r.Emulated);
        EXPECT_EQ(r.Outcome, UpgradeCompleteText);
    }
    EXPECT_EQ(recorded.Records[0].Location, "1-1.1");

    // No row was repainted more often than once a refresh, however fast its run ticked.
    std::vector<std::size_t> perRow(4);
    for (std::size_t index : face.setRows) ++perRow.at(index);
    for (std::size_t count : perRow) EXPECT_LT(count, 400u);
}

TEST(ShopWindow, ARadioLostMidUploadFailsAloneAndRetryFailedUpgradesItAlone) {
    Folder folder;
    const auto package = WriteSmallPackage(folder.Path() / "fw.bin");
    EmulatedRadioSource radios(CrateOf(4, 2));
    HistoryRecorder history(folder.Path() / "history.jsonl");
    RecordingShopFace face;
    ShopWindow window(radios, face, history, u"Quenfall");
    face.answers.push_back(Chosen(package));
    window.Shown();
    window.Click(ShopControl::SelectButton);
    EXPECT_EQ(face.filters, std::vector<std::u16string>{PackageFilter()});
    ASSERT_NE(window.LoadedPackage(), nullptr);

    window.Click(ShopControl::UpgradeAllButton);
    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn);
    ASSERT_EQ(face.rows.size(), 4u) << "the lost radio keeps its row so that its failure is seen";
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        if (i == 2) {
            EXPECT_EQ(face.rows[i].Status, Utf16(CommunicationErrorText));
            EXPECT_EQ(face.rows[i].Outcome, RowOutcome::Failure);
        } else {
            EXPECT_EQ(face.rows[i].Status, Utf16(UpgradeCompleteText));
            EXPECT_EQ(face.rows[i].Outcome, RowOutcome::Success);
        }
    }
    EXPECT_EQ(face.Text(ShopControl::Summary), u"3 of 4 radios upgraded");
    EXPECT_TRUE(face.Enabled(ShopControl::RetryFailedButton));
    ASSERT_TRUE(window.RowOutcomeOf(2).has_value());
    EXPECT_EQ(window.RowOutcomeOf(2)->BlocksSent, 6u);

    // The radio is plugged back in, as it was lost: the watch lists it again in its row.
    EmulatedRadio& lost = radios.Crate().Radio(2);
    lost.Faults().DisappearAtBlock.reset();
    lost.PlugIn();
    window.UsbDeviceChanged();
    ASSERT_EQ(face.rows.size(), 4u);
    EXPECT_EQ(face.rows[2].Location, u"1-1.3");
    EXPECT_EQ(face.rows[2].Outcome, RowOutcome::Failure) << "its failure stands until it is retried";

    std::vector<std::uint32_t> writesBefore;
    for (std::size_t i = 0; i < 4; ++i) writesBefore.push_back(radios.Crate().Radio(i).Writes());
    face.setRows.clear();
    // Enter on the focused Retry failed presses it, not the default button.
    EXPECT_TRUE(window.KeyDown(ShopControl::RetryFailedButton, Key::Enter));
    EXPECT_TRUE(window.Running());
    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn);
    for (std::size_t index : face.setRows) EXPECT_EQ(index, 2u) << "only the retried row changed";
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(face.rows[i].Outcome, RowOutcome::Success);
        EXPECT_EQ(face.rows[i].Status, Utf16(UpgradeCompleteText));
        if (i != 2) {
            EXPECT_EQ(radios.Crate().Radio(i).Writes(), writesBefore[i]) << "the others got nothing";
        }
    }
    EXPECT_GT(lost.Writes(), writesBefore[2]);
    EXPECT_TRUE(lost.CompareSections(SectionsOf(*window.LoadedPackage())).empty());
    EXPECT_EQ(face.Text(ShopControl::Summary), u"4 of 4 radios upgraded");
    EXPECT_FALSE(face.Enabled(ShopControl::RetryFailedButton));

    const HistoryContents recorded = ReadHistoryFile(folder.Path() / "history.jsonl");
    ASSERT_EQ(recorded.Records.size(), 5u) << "four runs, then the retry";
    EXPECT_EQ(recorded.Records[2].Location, "1-1.3");
    EXPECT_FALSE(recorded.Records[2].Completed);
    EXPECT_EQ(recorded.Records[2].Outcome, CommunicationErrorText);
    EXPECT_EQ(recorded.Records[4].Location, "1-1.3");
    EXPECT_TRUE(recorded.Records[4].Completed);
}

TEST(ShopWindow, AfterAFinishedCrateEnterAsksBeforeUpgradingAnyRadioAgain) {
    Folder folder;
    const auto package = WriteSmallPackage(folder.Path() / "fw.bin");
    EmulatedRadioSource radios(CrateOf(3));
    radios.Crate().Radio(2).Unplug();  // plugged in once the others are done
    HistoryRecorder history(folder.Path() / "history.jsonl");
    RecordingShopFace face;
    ShopWindow window(radios, face, history, u"Quenfall");
    window.SetStartPackage(Chosen(package));
    window.Shown();
    ASSERT_EQ(face.rows.size(), 2u);
    EXPECT_TRUE(window.KeyDown(ShopControl::PackageEdit, Key::Enter));
    EXPECT_TRUE(face.questions.empty()) << "nothing was upgraded yet: nothing to ask";
    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn);
    EXPECT_EQ(face.Text(ShopControl::Summary), u"2 of 2 radios upgraded");
    const auto writes = [&] {
        std::vector<std::uint32_t> w;
        for (std::size_t i = 0; i < 3; ++i) w.push_back(radios.Crate().Radio(i).Writes());
        return w;
    };
    const std::vector<std::uint32_t> afterFirst = writes();

    // A stray Enter, wherever the focus is: the question, No its answer, and nothing runs.
    EXPECT_TRUE(window.KeyDown(ShopControl::RadioList, Key::Enter));
    ASSERT_EQ(face.questions.size(), 1u);
    EXPECT_EQ(face.questions[0].Text, AlreadyUpgradedQuestion(2, 2));
    EXPECT_EQ(face.questions[0].Caption, u"Quenfall");
    EXPECT_FALSE(window.Running());
    EXPECT_FALSE(face.refreshOn);
    EXPECT_EQ(writes(), afterFirst);
    window.Click(ShopControl::UpgradeAllButton);
    EXPECT_EQ(face.questions.size(), 2u) << "the button asks as Enter does";
    EXPECT_FALSE(window.Running());

    // A new radio joins the finished ones: No upgrades it alone.
    radios.Crate().Radio(2).PlugIn();
    window.UsbDeviceChanged();
    ASSERT_EQ(face.rows.size(), 3u);
    face.setRows.clear();
    EXPECT_TRUE(window.KeyDown(ShopControl::UpgradeAllButton, Key::Enter));
    ASSERT_EQ(face.questions.size(), 3u);
    EXPECT_EQ(face.questions[2].Text, AlreadyUpgradedQuestion(2, 3));
    EXPECT_TRUE(window.Running());
    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn);
    for (std::size_t index : face.setRows) EXPECT_EQ(index, 2u) << "only the new radio's row changed";
    EXPECT_EQ(radios.Crate().Radio(0).Writes(), afterFirst[0]);
    EXPECT_EQ(radios.Crate().Radio(1).Writes(), afterFirst[1]);
    EXPECT_TRUE(radios.Crate().Radio(2).CompareSections(SectionsOf(*window.LoadedPackage())).empty());
    EXPECT_EQ(face.Text(ShopControl::Summary), u"3 of 3 radios upgraded");

    // Yes upgrades every radio again.
    face.askAnswers.push_back(true);
    window.Click(ShopControl::UpgradeAllButton);
    EXPECT_EQ(face.questions.size(), 4u);
    EXPECT_TRUE(window.Running());
    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(radios.Crate().Radio(i).Restarts(), 2u) << i;
    EXPECT_EQ(ReadHistoryFile(folder.Path() / "history.jsonl").Records.size(), 6u);
}

// Refreshes as the face's timer does until done says so, or a generous bound.
template <typename Done>
void RefreshUntil(ShopWindow& window, Done done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(ShopRefreshInterval);
        window.Refresh();
    }
}

TEST(ShopWindow, StationModeUpgradesEachRadioOnceAsItArrivesAndAFailedOneAgainOnlyOnRetry) {
    using namespace std::chrono_literals;
    Folder folder;
    const auto package = WriteSmallPackage(folder.Path() / "fw.bin");
    std::vector<Misbehaviour> faults(2);
    faults[1].Silent = RequestMatch::Every(RequestKind::Block);
    // Plugged in 300 ms apart, back 1 s after their reset, then left plugged in; straight
    // into boot mode (the restart is the runs' own business).
    EmulatedStationSource radios(3, TestModel, faults, {300ms, 1000ms, 60000ms, false});
    HistoryRecorder history(folder.Path() / "history.jsonl");
    RecordingShopFace face;
    ShopWindow window(radios, face, history, u"Quenfall");
    window.SetStationAtStart(true);
    window.SetStartPackage(Chosen(package));
    window.Shown();
    EXPECT_EQ(face.Text(ShopControl::StationCheck), Utf16(StationCheckText));
    EXPECT_TRUE(face.Checked(ShopControl::StationCheck));
    EXPECT_TRUE(window.StationOn());
    EXPECT_TRUE(face.refreshOn) << "the next radios are due";
    EXPECT_FALSE(face.Enabled(ShopControl::UpgradeAllButton)) << "a station starts its runs by itself";
    EXPECT_FALSE(face.Enabled(ShopControl::StationCheck)) << "not while a run goes on";

    // No key pressed: each radio gets its row and its run as it arrives, and the rows of
    // ended runs stay while their radios are there, through each one's reset.
    const auto ended = [&] {
        return face.rows.size() == 3 && !window.Running() &&
               std::all_of(face.rows.begin(), face.rows.end(), [](const ShopRowView& r) { return r.Outcome != RowOutcome::None; });
    };
    RefreshUntil(window, ended);
    ASSERT_TRUE(ended());
    RefreshUntil(window, [&] { return radios.Crate().Radio(2).Resets() == 1 && radios.Crate().Radio(2).Present(); });
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(ShopRefreshInterval);
        window.Refresh();
    }
    EXPECT_FALSE(window.Running()) << "a radio back after its reset is not upgraded again";
    ASSERT_EQ(face.rows.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(face.rows[i].Location, Utf16(EmulatedCrate::PortLocation(i))) << "in the order they arrived";
        EXPECT_EQ(face.rows[i].Outcome, i == 1 ? RowOutcome::Failure : RowOutcome::Success);
        EXPECT_EQ(face.rows[i].Status, Utf16(i == 1 ? CommunicationErrorText : UpgradeCompleteText));
        if (i != 1) {
            EXPECT_EQ(radios.Crate().Radio(i).Resets(), 1u);
            EXPECT_TRUE(radios.Crate().Radio(i).CompareSections(SectionsOf(*window.LoadedPackage())).empty());
        }
    }
    EXPECT_EQ(face.Text(ShopControl::Summary), u"2 of 3 radios upgraded");
    EXPECT_EQ(ReadHistoryFile(folder.Path() / "history.jsonl").Records.size(), 3u);
    EXPECT_FALSE(face.Enabled(ShopControl::UpgradeAllButton));
    EXPECT_FALSE(window.KeyDown(ShopControl::RadioList, Key::Enter)) << "Enter starts nothing in a station";
    EXPECT_TRUE(face.questions.empty());
    ASSERT_TRUE(face.Enabled(ShopControl::RetryFailedButton));

    // Retry: the failed radio alone, although every radio is still plugged in.
    radios.Crate().Radio(1).Faults() = Misbehaviour{};
    const std::uint32_t first = radios.Crate().Radio(0).Writes(), third = radios.Crate().Radio(2).Writes();
    window.Click(ShopControl::RetryFailedButton);
    EXPECT_TRUE(window.Running());
    RefreshUntil(window, [&] { return !window.Running(); });
    EXPECT_EQ(face.rows[1].Outcome, RowOutcome::Success);
    EXPECT_EQ(radios.Crate().Radio(0).Writes(), first);
    EXPECT_EQ(radios.Crate().Radio(2).Writes(), third);
    EXPECT_EQ(face.Text(ShopControl::Summary), u"3 of 3 radios upgraded");
    const HistoryContents recorded = ReadHistoryFile(folder.Path() / "history.jsonl");
    ASSERT_EQ(recorded.Records.size(), 4u);
    // In the order the runs ended: the silent radio's waited out its answer window.
    EXPECT_EQ(recorded.Records[0].Location, "1-1.1");
    EXPECT_EQ(recorded.Records[1].Location, "1-1.3");
    EXPECT_EQ(recorded.Records[2].Location, "1-1.2");
    EXPECT_TRUE(recorded.Records[1].Completed);
    EXPECT_FALSE(recorded.Records[2].Completed);
    EXPECT_EQ(recorded.Records[3].Location, "1-1.2");
    EXPECT_TRUE(recorded.Records[3].Completed);
    EXPECT_EQ(recorded.Records[3].Program, "quenfall");

    // The crate's record: a row per row, the package and its SHA-256, how each last run went.
    face.saveAnswers.push_back(Chosen(folder.Path() / "crate.csv"));
    window.Click(ShopControl::SaveRecordButton);
    ASSERT_EQ(face.saveDialogs.size(), 1u);
    EXPECT_EQ(face.saveDialogs[0].first, RecordFilter());
    EXPECT_EQ(face.saveDialogs[0].second, RecordFileName);
    std::ifstream saved(folder.Path() / "crate.csv", std::ios::binary);
    const std::string csv((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    const std::string sha = window.LoadedPackage()->Sha256;
    std::vector<std::string> lines;
    for (std::size_t at = 0, next; (next = csv.find("\r\n", at)) != std::string::npos; at = next + 2)
        lines.push_back(csv.substr(at, next - at));
    ASSERT_EQ(lines.size(), 4u) << csv;
    EXPECT_EQ(lines[0], "location,serial,emulated,node,package,sha256,outcome,seconds,start");
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(lines[i + 1]);
        EXPECT_TRUE(lines[i + 1].starts_with(EmulatedCrate::PortLocation(i) + "," + EmulatedCrate::PortSerial(i) + ",true,/dev/sd"));
        EXPECT_NE(lines[i + 1].find(",fw.bin," + sha + ",\" Program upgrade is complete!\","), std::string::npos)
            << "its last run, the retry for the second";
        EXPECT_TRUE(lines[i + 1].ends_with("Z")) << "the start, as the history writes it";
    }
    EXPECT_EQ(face.rows[0].Serial, Utf16(EmulatedCrate::PortSerial(0)) + Utf16(EmulatedSerialMark));

    // Off, the window is a crate again; on once more, it upgrades none of the radios it has
    // just upgraded.
    window.Click(ShopControl::StationCheck);
    EXPECT_FALSE(window.StationOn());
    EXPECT_FALSE(face.Checked(ShopControl::StationCheck));
    EXPECT_FALSE(face.refreshOn);
    EXPECT_TRUE(face.Enabled(ShopControl::UpgradeAllButton));
    window.Click(ShopControl::StationCheck);
    EXPECT_TRUE(face.Checked(ShopControl::StationCheck));
    EXPECT_FALSE(window.Running());
    EXPECT_EQ(face.rows.size(), 3u);
    EXPECT_EQ(radios.Crate().Radio(0).Writes(), first);
}

TEST(ShopStart, RetryFailedPractisedOnTheOneEmulatedRadioGivenAFault) {
    Folder folder;
    const auto package = WriteSmallPackage(folder.Path() / "fw.bin");
    const std::vector<std::u16string> arguments{u"--shop", u"--emulate", u"3", u"--emulate-fault", u"no-answer@2",
                                                package.u16string()};
    RecordingShopFace face;
    startup::ShopStart shop(ReadStartOptions(arguments, std::nullopt), face, u"Quenfall",
                            folder.Path() / "history.jsonl");
    ShopWindow& window = shop.Window();
    window.Shown();
    // Once the package is loaded: the crate takes its model anew.
    EmulatedCrate& crate = dynamic_cast<EmulatedRadioSource&>(shop.Radios()).Crate();
    ASSERT_EQ(face.rows.size(), 3u);
    window.Click(ShopControl::UpgradeAllButton);
    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(face.rows[i].Outcome, i == 1 ? RowOutcome::Failure : RowOutcome::Success);
        EXPECT_EQ(face.rows[i].Status, Utf16(i == 1 ? CommunicationErrorText : UpgradeCompleteText));
    }
    EXPECT_EQ(face.Text(ShopControl::Summary), u"2 of 3 radios upgraded");
    ASSERT_TRUE(face.Enabled(ShopControl::RetryFailedButton));

    // The fault stays with its radio: the retry runs it alone, and it fails again.
    const std::uint32_t first = crate.Radio(0).Writes(), third = crate.Radio(2).Writes();
    face.setRows.clear();
    window.Click(ShopControl::RetryFailedButton);
    EXPECT_TRUE(face.questions.empty()) << "a retry re-upgrades nothing that completed";
    RefreshUntilIdle(window, face);
    for (std::size_t index : face.setRows) EXPECT_EQ(index, 1u);
    EXPECT_EQ(face.rows[1].Outcome, RowOutcome::Failure);
    EXPECT_EQ(crate.Radio(0).Writes(), first);
    EXPECT_EQ(crate.Radio(2).Writes(), third);

    // Reseated (its fault gone), the retry upgrades it.
    crate.Radio(1).Faults() = Misbehaviour{};
    EXPECT_TRUE(window.KeyDown(ShopControl::RetryFailedButton, Key::Enter));
    RefreshUntilIdle(window, face);
    EXPECT_EQ(face.rows[1].Outcome, RowOutcome::Success);
    EXPECT_EQ(face.Text(ShopControl::Summary), u"3 of 3 radios upgraded");
    EXPECT_FALSE(face.Enabled(ShopControl::RetryFailedButton));

    const HistoryContents recorded = ReadHistoryFile(folder.Path() / "history.jsonl");
    ASSERT_EQ(recorded.Records.size(), 5u);
    EXPECT_EQ(recorded.Records[1].Location, "1-1.2");
    EXPECT_FALSE(recorded.Records[1].Completed);
    EXPECT_FALSE(recorded.Records[3].Completed);
    EXPECT_TRUE(recorded.Records[4].Completed);
    EXPECT_EQ(recorded.Records[4].Location, "1-1.2");

    // A fault the radios do not have stops the start, told in the default error display.
    const std::vector<std::u16string> unknown{u"--shop", u"--emulate", u"2", u"--emulate-fault", u"fire@1"};
    EXPECT_THROW(startup::ShopStart(ReadStartOptions(unknown, std::nullopt), face, u"Quenfall",
                                    folder.Path() / "history.jsonl"),
                 std::runtime_error);
}

// The history says the radio in slot 1 last completed a model-17 package.
bool RecordModel17InSlot1(const std::filesystem::path& history) {
    HistoryRecord took17;
    took17.Start = "2026-12-01T09:58:00.000Z";
    took17.End = "2026-12-01T10:00:00.000Z";
    took17.Program = "quenfall";
    took17.Package = "radio17.bin";
    took17.ModelCode = 17;
    took17.Location = EmulatedCrate::PortLocation(0);
    took17.Serial = EmulatedCrate::PortSerial(0);
    took17.Outcome = " Program upgrade is complete!";
    took17.Completed = true;
    took17.BlocksSent = 1;
    took17.Emulated = true;
    return HistoryRecorder(history).Record(took17);
}

// The history says the radio in slot 1 last completed a model-17 package: before a model-2
// package goes to it, the window asks (No by default). No leaves that radio untouched, its
// row failed with the refusal, the other radio upgraded; Retry asks again, and Yes upgrades
// it. Both answers are in the history.
TEST(ShopWindow, ARadioThatLastTookAnotherModelIsUpgradedOnlyWhenTheUserSaysYes) {
    Folder folder;
    const auto history = folder.Path() / "history.jsonl";
    ASSERT_TRUE(RecordModel17InSlot1(history));
    const auto package = WriteSmallPackage(folder.Path() / "radio2.bin", 2);
    // Straight into the upload: the case is about the question, not the restart.
    std::vector<EmulatedRadioConfig> configs;
    for (std::size_t i = 0; i < 2; ++i) {
        configs.push_back(EmulatedCrateRadio(i, 2, TestModel, {}));
        configs.back().RestartOnEnter = false;
    }
    EmulatedRadioSource radios(std::make_unique<EmulatedCrate>(std::move(configs)));
    HistoryRecorder recorder(history);
    RecordingShopFace face;
    ShopWindow window(radios, face, recorder, u"Quenfall");
    window.SetStartPackage(Chosen(package));
    window.Shown();
    ASSERT_EQ(face.rows.size(), 2u);

    window.Click(ShopControl::UpgradeAllButton);
    ASSERT_EQ(face.questions.size(), 1u) << "one radio took another model";
    const std::u16string& question = face.questions[0].Text;
    EXPECT_NE(question.find(u"model code 17 (radio17.bin, 2026-12-01T10:00:00.000Z)"), std::u16string::npos);
    EXPECT_NE(question.find(u"this package is for model code 2."), std::u16string::npos);
    EXPECT_NE(question.find(Utf16(EmulatedCrate::PortSerial(0))), std::u16string::npos);
    const std::string refusal = "refused: model change from model code 17 (radio17.bin) to 2";
    EXPECT_EQ(face.rows[0].Status, Utf16(refusal));
    EXPECT_EQ(face.rows[0].Outcome, RowOutcome::Failure);
    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn);
    EXPECT_EQ(radios.Crate().Radio(0).Writes(), 0u) << "no block went to the refused radio";
    EXPECT_GT(radios.Crate().Radio(1).Writes(), 0u);
    EXPECT_EQ(face.rows[0].Outcome, RowOutcome::Failure);
    EXPECT_EQ(face.rows[1].Outcome, RowOutcome::Success);
    EXPECT_TRUE(face.Enabled(ShopControl::RetryFailedButton));

    face.askAnswers.push_back(true);
    window.Click(ShopControl::RetryFailedButton);
    ASSERT_EQ(face.questions.size(), 2u) << "Retry asks again";
    EXPECT_TRUE(window.Running());
    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn);
    EXPECT_EQ(face.rows[0].Outcome, RowOutcome::Success);
    EXPECT_TRUE(radios.Crate().Radio(0).CompareSections(SectionsOf(*window.LoadedPackage())).empty());

    const std::vector<HistoryRecord> records = ReadHistoryFile(history).Records;
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[1].Outcome, refusal);
    EXPECT_EQ(records[1].BlocksSent, 0u);
    EXPECT_EQ(records[1].Serial, EmulatedCrate::PortSerial(0));
    EXPECT_EQ(records[1].ModelCode, 2u);
    EXPECT_EQ(records[1].Program, "quenfall");
    EXPECT_TRUE(records[2].Completed) << "the other radio's run";
    EXPECT_EQ(records[3].Outcome, "model change allowed from model code 17 (radio17.bin) to 2");
    EXPECT_TRUE(records[4].Completed);
    EXPECT_EQ(records[4].Serial, EmulatedCrate::PortSerial(0));
}

// Station mode: the same question, never asked inside the poll (the box's own loop runs the
// refresh timer). The radio waits, its row saying so, while the other radio, whose history
// says nothing, is upgraded at once; the question comes from the face's queue.
class StationModelChange : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RecordModel17InSlot1(history_));
        package_ = WriteSmallPackage(folder_.Path() / "radio2.bin", 2);
    }
    // Two radios plugged in together, straight into the upload, left plugged in.
    void Start() {
        using namespace std::chrono_literals;
        radios_ = std::make_unique<EmulatedStationSource>(2, TestModel, std::vector<Misbehaviour>{},
                                                          EmulatedArrivals{0ms, 1000ms, 60000ms, false});
        window_ = std::make_unique<ShopWindow>(*radios_, face_, recorder_, u"Quenfall");
        window_->SetStationAtStart(true);
        window_->SetStartPackage(Chosen(package_));
        window_->Shown();
    }
    void TearDown() override { window_.reset(); }
    std::vector<HistoryRecord> Records() const { return ReadHistoryFile(history_).Records; }
    EmulatedRadio& Asked() { return radios_->Crate().Radio(0); }
    // Polls until neither radio's run goes on and no question waits.
    void RefreshUntilSettled() {
        RefreshUntil(*window_, [&] { return face_.posted.empty() && !window_->Running(); });
    }

    Folder folder_;
    std::filesystem::path history_ = folder_.Path() / "history.jsonl";
    std::filesystem::path package_;
    HistoryRecorder recorder_{history_};
    RecordingShopFace face_;
    std::unique_ptr<EmulatedStationSource> radios_;
    std::unique_ptr<ShopWindow> window_;

    static constexpr char16_t Waiting[] = u"waiting for an answer: model change from model code 17 (radio17.bin) to 2";
    static constexpr char Refusal[] = "refused: model change from model code 17 (radio17.bin) to 2";
    static constexpr char Allowed[] = "model change allowed from model code 17 (radio17.bin) to 2";
};

TEST_F(StationModelChange, NoLeavesTheRadioUntouchedAndRecordsTheRefusal) {
    Start();
    ASSERT_EQ(face_.rows.size(), 2u);
    EXPECT_TRUE(face_.questions.empty()) << "not asked inside the poll";
    ASSERT_EQ(face_.posted.size(), 1u);
    EXPECT_EQ(face_.rows[0].Status, Waiting);
    EXPECT_EQ(face_.rows[0].Outcome, RowOutcome::None);
    EXPECT_TRUE(window_->Running()) << "a radio waiting for its answer keeps the package and the mode as they are";
    EXPECT_FALSE(face_.Enabled(ShopControl::SelectButton));
    EXPECT_NE(window_->StationRuns()->Runs()[1].Going, nullptr) << "the other radio is being upgraded meanwhile";
    // Polls before the question comes neither ask nor hold the radio twice.
    window_->Refresh();
    window_->Refresh();
    EXPECT_TRUE(face_.questions.empty());
    EXPECT_EQ(face_.posted.size(), 1u);

    EXPECT_EQ(face_.RunPosted(), 1u);
    ASSERT_EQ(face_.questions.size(), 1u);
    const std::u16string& question = face_.questions[0].Text;
    EXPECT_NE(question.find(u"model code 17 (radio17.bin, 2026-12-01T10:00:00.000Z)"), std::u16string::npos);
    EXPECT_NE(question.find(u"this package is for model code 2."), std::u16string::npos);
    EXPECT_NE(question.find(Utf16(EmulatedCrate::PortSerial(0))), std::u16string::npos);
    EXPECT_EQ(face_.rows[0].Status, Utf16(Refusal));
    EXPECT_EQ(face_.rows[0].Outcome, RowOutcome::Failure);
    RefreshUntilSettled();
    EXPECT_EQ(Asked().Writes(), 0u) << "no block went to the refused radio";
    EXPECT_EQ(face_.rows[1].Outcome, RowOutcome::Success);
    EXPECT_EQ(face_.questions.size(), 1u) << "the refused radio, still plugged in, is not asked again by itself";
    EXPECT_TRUE(face_.Enabled(ShopControl::RetryFailedButton)) << "Retry asks again";

    const std::vector<HistoryRecord> records = Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].Outcome, Refusal);
    EXPECT_EQ(records[1].BlocksSent, 0u);
    EXPECT_EQ(records[1].Serial, EmulatedCrate::PortSerial(0));
    EXPECT_EQ(records[1].Program, "quenfall");
    EXPECT_TRUE(records[2].Completed);
    EXPECT_EQ(records[2].Location, EmulatedCrate::PortLocation(1));

    window_->Click(ShopControl::RetryFailedButton);
    EXPECT_EQ(face_.rows[0].Status, Waiting);
    face_.askAnswers.push_back(true);
    EXPECT_EQ(face_.RunPosted(), 1u);
    EXPECT_EQ(face_.questions.size(), 2u);
    RefreshUntilSettled();
    EXPECT_EQ(face_.rows[0].Outcome, RowOutcome::Success);
    EXPECT_TRUE(Asked().CompareSections(SectionsOf(*window_->LoadedPackage())).empty());
}

TEST_F(StationModelChange, YesRecordsTheOverrideAndUpgradesTheRadioWhilePollsGoOnUnderTheBox) {
    Start();
    face_.askAnswers.push_back(true);
    // The box's loop runs the refresh timer: the poll goes on, and asks nothing of its own.
    std::size_t questionsSeenInside = 0;
    face_.whileAsking = [&] {
        window_->Refresh();
        window_->UsbDeviceChanged();
        questionsSeenInside = face_.questions.size();
        EXPECT_EQ(face_.posted.size(), 0u) << "no second question while one is open";
    };
    EXPECT_EQ(face_.RunPosted(), 1u);
    EXPECT_EQ(questionsSeenInside, 1u);
    EXPECT_TRUE(window_->Running());
    RefreshUntilSettled();
    EXPECT_EQ(face_.questions.size(), 1u);
    EXPECT_EQ(face_.rows[0].Outcome, RowOutcome::Success);
    EXPECT_EQ(face_.rows[0].Status, Utf16(UpgradeCompleteText));
    EXPECT_EQ(face_.rows[1].Outcome, RowOutcome::Success);
    EXPECT_TRUE(Asked().CompareSections(SectionsOf(*window_->LoadedPackage())).empty());
    EXPECT_EQ(face_.Text(ShopControl::Summary), u"2 of 2 radios upgraded");

    const std::vector<HistoryRecord> records = Records();
    ASSERT_EQ(records.size(), 4u);
    const auto allowed = std::find_if(records.begin(), records.end(), [](const HistoryRecord& r) { return r.Outcome == Allowed; });
    ASSERT_NE(allowed, records.end());
    EXPECT_EQ(allowed->BlocksSent, 0u);
    const auto run = std::find_if(allowed, records.end(), [](const HistoryRecord& r) {
        return r.Completed && r.Serial == EmulatedCrate::PortSerial(0);
    });
    EXPECT_NE(run, records.end()) << "its run, after the override";
}

TEST_F(StationModelChange, ARadioUnpluggedWhileAskedIsNotStartedAfterYes) {
    Start();
    face_.askAnswers.push_back(true);
    face_.whileAsking = [&] {
        Asked().Unplug();
        window_->Refresh();
    };
    EXPECT_EQ(face_.RunPosted(), 1u);
    RefreshUntilSettled();
    EXPECT_EQ(Asked().Writes(), 0u);
    EXPECT_EQ(face_.rows[0].Status, Utf16(NoDeviceText));
    EXPECT_EQ(face_.rows[0].Outcome, RowOutcome::Failure);
    const std::vector<HistoryRecord> records = Records();
    ASSERT_EQ(records.size(), 3u) << "the answer and the other radio's run; nothing was sent to this one";
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [](const HistoryRecord& r) { return r.Outcome == Allowed; }));
    EXPECT_FALSE(std::any_of(records.begin() + 1, records.end(), [](const HistoryRecord& r) {
        return r.Serial == EmulatedCrate::PortSerial(0) && r.BlocksSent != 0;
    })) << "after the model-17 run the history began with";
}

TEST(ShopWindow, AnIdleWindowTakesNoTicksAndListsArrivalsAndRemovals) {
    Folder folder;
    EmulatedRadioSource radios(CrateOf(3));
    HistoryRecorder history(folder.Path() / "history.jsonl");
    RecordingShopFace face;
    ShopWindow window(radios, face, history, u"Quenfall");
    window.Shown();
    ASSERT_EQ(face.rows.size(), 3u);
    EXPECT_EQ(face.Text(ShopControl::PackageVerdict), Utf16(NoPackageText));
    EXPECT_FALSE(face.Enabled(ShopControl::UpgradeAllButton)) << "no package";
    // Enter without a package is left to the face; other keys always are.
    EXPECT_FALSE(window.KeyDown(ShopControl::RadioList, Key::Enter));
    EXPECT_FALSE(window.KeyDown(ShopControl::UpgradeAllButton, Key::Other));
    window.Click(ShopControl::UpgradeAllButton);
    EXPECT_FALSE(window.Running());

    // The middle radio leaves: its row goes and the last moves up; it comes back last.
    radios.Crate().Radio(1).Unplug();
    window.UsbDeviceChanged();
    ASSERT_EQ(face.rows.size(), 2u);
    EXPECT_EQ(face.rows[0].Location, u"1-1.1");
    EXPECT_EQ(face.rows[1].Location, u"1-1.3");
    radios.Crate().Radio(1).PlugIn();
    window.UsbDeviceChanged();
    ASSERT_EQ(face.rows.size(), 3u);
    EXPECT_EQ(face.rows[2].Location, u"1-1.2");

    // A package refused: why, in the verdict line beside the file's name and in the box.
    const auto refused = folder.Path() / "refused.bin";
    std::ofstream(refused, std::ios::binary) << std::string(200, 'x');
    face.answers.push_back(Chosen(refused));
    EXPECT_TRUE(window.KeyDown(ShopControl::SelectButton, Key::Enter));
    EXPECT_EQ(window.LoadedPackage(), nullptr);
    const std::u16string why = u"The upgrade file does not match: its model code 120 is not one this build accepts "
                               u"(it accepts 0, 2, 11 and 17).";
    EXPECT_EQ(face.Text(ShopControl::PackageVerdict), why);
    EXPECT_EQ(face.Text(ShopControl::PackageEdit), Chosen(refused).Text);
    ASSERT_EQ(face.boxes.size(), 1u);
    EXPECT_EQ(face.boxes[0].Text, why);
    {
        // In the user's language the reason keeps its values; the English one is what is kept.
        text::UseCatalogue("de", R"po(
msgid "The upgrade file does not match: its model code {model} is not one this build accepts (it accepts {models})."
msgstr "Die Datei passt nicht: Modellcode {model} nimmt dieses Programm nicht an (es nimmt {models})."
)po");
        face.answers.push_back(Chosen(refused));
        window.Click(ShopControl::SelectButton);
        text::UseLanguage("");
        EXPECT_EQ(face.Text(ShopControl::PackageVerdict),
                  u"Die Datei passt nicht: Modellcode 120 nimmt dieses Programm nicht an (es nimmt 0, 2, 11 and 17).");
        ASSERT_EQ(face.boxes.size(), 2u);
        EXPECT_EQ(face.boxes[1].Text, face.Text(ShopControl::PackageVerdict));
        face.boxes.pop_back();
    }
    // One that cannot be read: the default error display; the verdict stays.
    face.answers.push_back(Chosen(folder.Path() / "missing.bin"));
    window.Click(ShopControl::SelectButton);
    ASSERT_EQ(face.boxes.size(), 2u);
    EXPECT_EQ(face.boxes[1].Icon, BoxIcon::Error);

    const std::size_t painted = face.setRows.size();
    window.Refresh();
    EXPECT_EQ(face.setRows.size(), painted) << "nothing runs: nothing to repaint";
    EXPECT_TRUE(face.timerCalls.empty()) << "an idle window asks for no refresh timer";
    EXPECT_TRUE(window.CloseQuery());
}

TEST(ShopWindow, AHistoryThatCannotBeWrittenIsToldOnceAndTheRunsStand) {
    Folder folder;
    const auto package = WriteSmallPackage(folder.Path() / "fw.bin");
    // The history's folder is a file: nothing can be written under it.
    std::ofstream(folder.Path() / "not-a-folder") << "x";
    EmulatedRadioSource radios(CrateOf(2, 1));
    HistoryRecorder history(folder.Path() / "not-a-folder" / "history.jsonl");
    RecordingShopFace face;
    ShopWindow window(radios, face, history, u"Quenfall");
    window.SetStartPackage(Chosen(package));
    window.Shown();
    window.Click(ShopControl::UpgradeAllButton);
    RefreshUntilIdle(window, face);
    ASSERT_FALSE(face.refreshOn);
    ASSERT_EQ(face.boxes.size(), 1u);
    EXPECT_NE(face.boxes[0].Text.find(u"not recorded"), std::u16string::npos) << Utf8(face.boxes[0].Text);
    EXPECT_EQ(face.rows[0].Outcome, RowOutcome::Success);
    EXPECT_EQ(face.Text(ShopControl::Summary), u"1 of 2 radios upgraded");

    // The failed radio is back and retried: the history still cannot be written, and that
    // is not told again.
    radios.Crate().Radio(1).Faults().DisappearAtBlock.reset();
    radios.Crate().Radio(1).PlugIn();
    window.UsbDeviceChanged();
    window.Click(ShopControl::RetryFailedButton);
    RefreshUntilIdle(window, face);
    EXPECT_EQ(face.boxes.size(), 1u);
    EXPECT_EQ(face.Text(ShopControl::Summary), u"2 of 2 radios upgraded");
}

TEST(ShopStart, TheCommandLineGivesTheShopWindowItsCrateAndItsPackage) {
    Folder folder;
    const auto package = WriteSmallPackage(folder.Path() / "fw.bin");
    const std::vector<std::u16string> arguments{u"--shop", u"--emulate", u"3", package.u16string()};
    const StartOptions options = ReadStartOptions(arguments, std::nullopt);
    RecordingShopFace face;
    startup::ShopStart shop(options, face, u"Quenfall", folder.Path() / "history.jsonl");
    EXPECT_FALSE(shop.WantsUsbWatch()) << "emulated radios tell the runs of their comings and goings";
    EXPECT_TRUE(shop.Radios().Emulated());
    shop.Window().Shown();
    ASSERT_EQ(face.rows.size(), 3u);
    EXPECT_EQ(face.rows[2].Location, u"1-1.3");
    ASSERT_NE(shop.Window().LoadedPackage(), nullptr);
    EXPECT_EQ(face.Text(ShopControl::PackageEdit), package.u16string());
    EXPECT_EQ(shop.History().File(), folder.Path() / "history.jsonl");
    EXPECT_EQ(shop.Window().Title(), u"Quenfall");
}

}  // namespace
