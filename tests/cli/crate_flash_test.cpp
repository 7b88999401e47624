// Runs per radio in real time, each on its own thread: a radio that fails leaves the others
// alone; the rows, the summary and the report say what happened to each.
#include "cli/crate_flash.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/crate_display.h"
#include "cli/crate_report.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "emulator/emulated_crate.h"
#include "cli/progress_line.h"
#include "cli/terminal_view.h"
#include "runs/flash_package.h"
#include "text/translation.h"
#include "upgrade/status_texts.h"

namespace quenfall::cli {
namespace {

std::shared_ptr<const Package> CratePackage() {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    std::vector<std::uint8_t> data(12 * 2048);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 2048);
    spec.Sections = {{0, 0, std::move(data)}};
    LoadResult loaded = LoadPackageImage(WritePackage(spec));
    if (!loaded.Accepted) throw std::runtime_error(loaded.Message);
    return loaded.Accepted;
}

TEST(FlashCrate, ARadioLostMidUploadFailsAloneWhileTheOthersComplete) {
    const auto package = CratePackage();
    std::vector<EmulatedRadioConfig> configs(4);
    for (auto& c : configs) {
        c.Selection = package->Selection;
        c.RestartOnEnter = false;  // straight into the upload: the test is about the loss
        c.KeepFrameLog = false;
    }
    configs[2].Faults.DisappearAtBlock = 5;
    EmulatedCrate crate(std::move(configs));

    std::vector<CrateRadio> radios;
    std::vector<std::string> labels;
    for (const RadioDrive& d : crate.Drives()) {
        CrateRadio r;
        r.Drive = d;
        r.Link = std::make_unique<LocatedDeviceLink>(crate.Connect(), d);
        r.TakeUsbEvents = crate.UsbEventCounter(d.Location);
        radios.push_back(std::move(r));
        labels.push_back(d.Location);
    }
    std::ostringstream out, err;
    CrateDisplay display(out, err, /*terminal=*/false, labels);
    const auto outcomes = FlashCrate(package, radios, display, FlashOptions{});

    ASSERT_EQ(outcomes.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const RadioOutcome& o = outcomes[i];
        EXPECT_EQ(o.Drive.Location, EmulatedCrate::PortLocation(i));
        EXPECT_TRUE(crate.Radio(i).Violations().empty()) << ::testing::PrintToString(crate.Radio(i).Violations());
        EXPECT_LE(o.Start, o.End);
        if (i == 2) {
            EXPECT_FALSE(o.Completed);
            EXPECT_EQ(o.Outcome, CommunicationErrorText);
            EXPECT_EQ(o.BlocksSent, 6u) << "blocks 0..5; the sixth was never answered";
            EXPECT_EQ(o.StatusTexts,
                      (std::vector<std::string>{std::string(EnteringBootModeText), std::string(UpgradingText),
                                                std::string(UpgradeFailedText), std::string(CommunicationErrorText)}));
        } else {
            EXPECT_TRUE(o.Completed);
            EXPECT_EQ(o.Outcome, UpgradeCompleteText);
            EXPECT_EQ(o.BlocksSent, 12u);
            EXPECT_TRUE(crate.Radio(i).CompareSections(SectionsOf(*package)).empty());
            // The others' runs heard nothing of the lost radio.
            EXPECT_EQ(o.StatusTexts,
                      (std::vector<std::string>{std::string(EnteringBootModeText), std::string(UpgradingText),
                                                std::string(UpgradeCompleteText)}));
        }
    }
    EXPECT_NE(out.str().find("1-1.3:  Communication Error!\n"), std::string::npos) << out.str();

    std::ostringstream summary;
    PrintCrateSummary(summary, outcomes);
    EXPECT_NE(summary.str().find("1-1.3     /dev/sdc  "), std::string::npos) << summary.str();
    EXPECT_NE(summary.str().find(" s   Communication Error!\n"), std::string::npos) << summary.str();
    EXPECT_TRUE(summary.str().ends_with("3 of 4 radios upgraded.\n")) << summary.str();
    // As a single run does, the lost radio's line is followed by its last command that did
    // not go through; the radios whose commands all went through have no such line.
    ASSERT_FALSE(outcomes[2].LastCommandProblem.empty());
    EXPECT_NE(summary.str().find(" s   Communication Error!\n"
                                 "          The last command that did not go through: " +
                                 outcomes[2].LastCommandProblem + "\n"),
              std::string::npos)
        << summary.str();
    std::size_t notes = 0;
    for (std::size_t at = summary.str().find("did not go through"); at != std::string::npos;
         at = summary.str().find("did not go through", at + 1))
        ++notes;
    EXPECT_EQ(notes, 1u) << summary.str();

    const std::string json = CrateReportJson(outcomes, "fw \"7\".bin", 0x00AB, std::string(64, 'e'), true);
    EXPECT_NE(json.find("\"package\":\"fw \\\"7\\\".bin\",\"check_value\":\"0x00AB\",\"sha256\":\"" + std::string(64, 'e') + "\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"outcome\":\" Communication Error!\",\"completed\":false"), std::string::npos) << json;
}

TEST(CrateDisplay, OnATerminalEachRadioKeepsItsRowAndOnlyThatRowIsRedrawn) {
    std::ostringstream out, err;
    CrateDisplay display(out, err, /*terminal=*/true, {"1-1.1", "1-1.10"}, 100);
    EXPECT_EQ(out.str(),
              "1-1.1   [....................]   0%\n"
              "1-1.10  [....................]   0%\n");
    out.str("");
    display.Progress(0, 355);
    // Up two rows to the first, clear it, draw it, back down under the rows.
    EXPECT_EQ(out.str(), "\x1b[2A\r\x1b[2K1-1.1   [##########..........]  50%\x1b[2B\r");
    out.str("");
    display.Status(1, "The program is being upgraded, please wait patiently... and patiently, and more");
    EXPECT_EQ(out.str(),
              "\x1b[1A\r\x1b[2K1-1.10  [....................]   0%  The program is being upgraded, please wait "
              "patiently... and pa\x1b[1B\r")
        << "cut short of the terminal's width";
    out.str("");
    display.Message(0, "Data transmitted successfully.");
    display.Message(1, "Data transmitted successfully.");
    EXPECT_EQ(out.str(), "");
    display.Finish();
    EXPECT_NE(out.str().find("\nData transmitted successfully.\n"), std::string::npos) << "once, under the rows";
}

// Every line a row is drawn as, at the width the terminal has when it is drawn.
std::vector<std::string> DrawnRows(const std::string& shown) {
    std::vector<std::string> rows;
    std::size_t at = 0;
    while ((at = shown.find("\x1b[2K", at)) != std::string::npos) {
        at += 4;
        const std::size_t end = shown.find_first_of("\x1b\n", at);
        rows.push_back(shown.substr(at, end - at));
    }
    return rows;
}

// The runs' progress on a terminal of 60 columns, then of 45 after a resize: no row
// reaches the terminal's last column, every character is ASCII, a running row names its
// time left and phase, and a completed row ends at 100% with the run's last text.
TEST(CrateDisplay, RowsStayNarrowerThanTheTerminalAndFollowItsResize) {
    std::ostringstream out, err;
    std::size_t columns = 60;
    CrateDisplay display(out, err, /*terminal=*/true, {"1-1.1", "1-1.2", "1-1.3", "1-1.4"},
                         CrateDisplay::Columns([&columns] { return columns; }));
    using namespace std::chrono_literals;
    for (std::size_t row = 0; row < 4; ++row) {
        display.Status(row, "Entering BOOT Mode...");
        display.Advance(row, {RunPhase::RadioRestarting, 0, 512, 0, 17400ms});
        display.Advance(row, {RunPhase::Uploading, 256, 512, 50, 7100ms});
    }
    std::vector<std::string> rows = DrawnRows(out.str());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "1-1.4   50% 256/512 0:08 left uploading");
    bool restartNamed = false;
    for (const std::string& row : rows) {
        EXPECT_LT(row.size(), 60u) << row;
        restartNamed = restartNamed || row.find("radio restarting, do not unplug") != std::string::npos;
    }
    EXPECT_TRUE(restartNamed);

    out.str("");
    columns = 45;
    display.Advance(2, {RunPhase::Uploading, 300, 512, 58, 6000ms});
    rows = DrawnRows(out.str());
    EXPECT_EQ(rows.size(), 4u) << "every row again at the new width";
    for (const std::string& row : rows) EXPECT_LT(row.size(), 45u) << row;

    out.str("");
    for (std::size_t row = 0; row < 4; ++row) {
        display.Status(row, " Program upgrade is complete!");
        display.Advance(row, {RunPhase::Ended, 512, 512, 100, 0ms});
        display.Message(row, "Data transmitted successfully. Please wait for radio to reset to confirm \xC3\xA9 write!");
    }
    display.Finish();
    rows = DrawnRows(out.str());
    ASSERT_GE(rows.size(), 4u);
    for (std::size_t i = rows.size() - 4; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].substr(5), "  100% 512/512  Program upgrade is comp") << rows[i];
        EXPECT_LT(rows[i].size(), 45u);
    }
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        const std::size_t shown = line.size() - (line.rfind("\x1b[2K") == std::string::npos ? 0 : line.rfind("\x1b[2K") + 4);
        EXPECT_LT(shown, 45u) << line;
        for (char c : line) EXPECT_TRUE(c == '\x1b' || c == '\r' || (c >= 0x20 && c < 0x7F)) << line;
    }
}

// A catalogue of the tests' own, in the form the translators write.
constexpr std::string_view GermanCatalogue = R"(msgid ""
msgstr ""
"Content-Type: text/plain; charset=UTF-8\n"
"Language: de\n"
"Plural-Forms: nplurals=2; plural=(n != 1);\n"

msgid " Program upgrade is complete!"
msgstr " Aktualisierung abgeschlossen!"

msgid " Communication Error!"
msgstr " Kommunikationsfehler!"

msgid "Error"
msgstr "Fehler"

msgid "{caption}: {message}"
msgstr "{caption} – {message}"

msgid "Progress: {percent}%"
msgstr "Fortschritt: {percent} %"

msgid "The last command that did not go through: {problem}"
msgstr "Der letzte nicht ausgeführte Befehl: {problem}"

msgid "interrupted after {blocks} blocks sent"
msgstr "nach {blocks} gesendeten Blöcken abgebrochen"

msgid "The upgrade file does not match: its check value is wrong (the file holds {stored}, its bytes give {computed}); the file is damaged or not a package of this model."
msgstr "Die Datei passt nicht: ihr Prüfwert ist falsch (gespeichert {stored}, berechnet {computed}); die Datei ist beschädigt."

msgid "{done} of {count} radio upgraded."
msgid_plural "{done} of {count} radios upgraded."
msgstr[0] "{done} von {count} Funkgerät aktualisiert."
msgstr[1] "{done} von {count} Funkgeräten aktualisiert."
)";

// The same few texts in Chinese, whose characters take two columns of a terminal each.
constexpr std::string_view ChineseCatalogue = R"(msgid ""
msgstr ""
"Content-Type: text/plain; charset=UTF-8\n"
"Language: zh_CN\n"
"Plural-Forms: nplurals=1; plural=0;\n"

msgid "uploading"
msgstr "正在上传固件数据"

msgid "{time} left"
msgstr "剩余 {time}"

msgid "{done}/{total} blocks"
msgstr "{done}/{total} 个数据块"
)";

struct EnglishAfterwards {
    ~EnglishAfterwards() { text::UseLanguage(""); }
};

std::vector<RadioOutcome> ThreeOutcomes() {
    std::vector<RadioOutcome> outcomes(3);
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        outcomes[i].Drive.Location = "1-1." + std::to_string(i + 1);
        outcomes[i].Drive.Node = "/dev/sd" + std::string(1, static_cast<char>('a' + i));
    }
    outcomes[0].Completed = true;
    outcomes[0].Outcome = UpgradeCompleteText;
    outcomes[1].Outcome = CommunicationErrorText;
    outcomes[1].LastCommandProblem = "write of block 7: no answer";
    outcomes[2].Outcome = InterruptedOutcome;
    outcomes[2].BlocksSent = 12;
    return outcomes;
}

TEST(CrateReport, TheSummaryIsInTheUsersLanguageWithItsFieldsWhileTheReportStaysEnglish) {
    const EnglishAfterwards english;
    const std::vector<RadioOutcome> outcomes = ThreeOutcomes();
    std::ostringstream before;
    PrintCrateSummary(before, outcomes);
    EXPECT_TRUE(before.str().ends_with("1 of 3 radios upgraded.\n")) << before.str();
    const std::string report = CrateReportJson(outcomes, "fw.bin", 0x00AB, std::string(64, 'e'), true);

    text::UseCatalogue("de", GermanCatalogue);
    std::ostringstream summary;
    PrintCrateSummary(summary, outcomes);
    const std::string shown = summary.str();
    EXPECT_NE(shown.find(" s   Aktualisierung abgeschlossen!\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find(" s   Kommunikationsfehler!\n"
                         "          Der letzte nicht ausgeführte Befehl: write of block 7: no answer\n"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find(" s  nach 12 gesendeten Blöcken abgebrochen\n"), std::string::npos) << shown;
    EXPECT_TRUE(shown.ends_with("1 von 3 Funkgeräten aktualisiert.\n")) << shown;
    std::vector<RadioOutcome> one(outcomes.begin(), outcomes.begin() + 1);
    std::ostringstream lone;
    PrintCrateSummary(lone, one);
    EXPECT_TRUE(lone.str().ends_with("1 von 1 Funkgerät aktualisiert.\n")) << lone.str();
    EXPECT_EQ(CrateReportJson(outcomes, "fw.bin", 0x00AB, std::string(64, 'e'), true), report)
        << "what programs read stays English";

    // A single run's lines: the status in German, the box's caption and text joined as the
    // language joins them, the progress with its number.
    std::ostringstream out, err;
    TerminalView view(out, err, /*terminal=*/false);
    view.SetStatusText(CommunicationErrorText);
    view.SetProgressWidth(ProgressFullWidth / 2);
    view.ShowError(CommunicationErrorText, ErrorCaption);
    EXPECT_EQ(out.str(), " Kommunikationsfehler!\nFortschritt: 50 %\n");
    EXPECT_EQ(err.str(), "Fehler –  Kommunikationsfehler!\n");
    EXPECT_EQ(view.StatusText(), CommunicationErrorText) << "kept in English for the record";

    text::UseLanguage("");
    std::ostringstream after;
    PrintCrateSummary(after, outcomes);
    EXPECT_EQ(after.str(), before.str());
}

TEST(CrateReport, APackagesRefusalIsShownInTheUsersLanguageWithItsValuesAndKeptInEnglish) {
    const EnglishAfterwards english;
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.Sections = {{0, 0, std::vector<std::uint8_t>(3000, 0x5A)}};
    text::UseCatalogue("de", GermanCatalogue);
    const LoadResult refused = LoadPackageImage(WritePackage(spec, PackageFlaw::WrongCheckValue));
    ASSERT_EQ(refused.Why, Refusal::CheckValue);
    const std::string stored = refused.ReasonText.Fields.at(0).Value, computed = refused.ReasonText.Fields.at(1).Value;
    ASSERT_NE(stored, computed);
    EXPECT_EQ(refused.Reason, "The upgrade file does not match: its check value is wrong (the file holds " + stored +
                                  ", its bytes give " + computed +
                                  "); the file is damaged or not a package of this model.")
        << "kept in English, whatever the language";
    EXPECT_EQ(refused.ReasonText.Translated(), "Die Datei passt nicht: ihr Prüfwert ist falsch (gespeichert " + stored +
                                                   ", berechnet " + computed + "); die Datei ist beschädigt.");
    text::UseLanguage("");
    EXPECT_EQ(refused.ReasonText.Translated(), refused.Reason);
}

TEST(CrateDisplay, ARowInALanguageOfWideCharactersStaysNarrowerThanTheTerminal) {
    const EnglishAfterwards english;
    text::UseCatalogue("zh_CN", ChineseCatalogue);
    using namespace std::chrono_literals;
    const RunProgress uploading{RunPhase::Uploading, 256, 512, 50, 7100ms};
    for (std::size_t columns : {100u, 80u, 60u, 40u}) {
        const std::string line = ProgressLine(uploading, text::Tr(PhaseText(uploading.Phase)), columns);
        EXPECT_LT(ColumnsOf(line), columns) << line;
        EXPECT_EQ(line.find('?'), std::string::npos) << "the characters are kept: " << line;
    }
    EXPECT_EQ(ProgressLine(uploading, text::Tr(PhaseText(uploading.Phase)), 100),
              "[##########..........]  50%  256/512 个数据块  剩余 0:08  正在上传固件数据");
    EXPECT_EQ(ColumnsOf("剩余 0:08"), 9u);
    EXPECT_EQ(FitToWidth("正在上传", 6), "正在") << "a wide character is not cut in half";
    EXPECT_EQ(WrapToWidth("正在 上传固件", 7), (std::vector<std::string>{"正在", "上传固", "件"}));
}

TEST(CrateReport, TimesAreUtcWithMilliseconds) {
    using namespace std::chrono;
    const sys_days day = year{2026} / December / 9;
    EXPECT_EQ(UtcTimestamp(day + hours(13) + minutes(5) + seconds(7) + milliseconds(42)),
              "2026-12-09T13:05:07.042Z");
    EXPECT_EQ(UtcTimestamp(sys_days(year{1999} / January / 1)), "1999-01-01T00:00:00.000Z");
}

}  // namespace
}  // namespace quenfall::cli
