// The record's one line of JSON: what goes in comes out, and nothing that is not a whole
// record passes for one.
#include <gtest/gtest.h>

#include <random>

#include <nlohmann/json.hpp>

#include "history/history_json.h"
#include "history/history_reading.h"

namespace quenfall {
namespace {

HistoryRecord Sample() {
    HistoryRecord r;
    r.Start = "2026-12-09T12:34:56.789Z";
    r.End = "2026-12-09T12:35:40.002Z";
    r.Program = "quenfall-cli";
    r.Version = "7.1.0";
    r.KeySet = "020a9866ec02048c";
    r.Package = "radio \"v2\", final.bin";
    r.PackageSize = 1048706;
    r.ModelCode = 17;
    r.CheckValue = 0xBEEF;
    r.TotalBlocks = 513;
    r.Location = "1-1.2";
    r.Node = "/dev/sdb";
    r.LastNode = "/dev/sde";
    r.Serial = "0123456789AB";
    r.Outcome = " Communication Error!";
    r.Completed = false;
    r.BlocksSent = 200;
    r.LastCommandProblem = "read: sense 05/24/00\nline two";
    r.Emulated = true;
    return r;
}

TEST(HistoryRecordJson, EveryFieldComesBackFromItsLineAndTheLineIsOneLine) {
    const HistoryRecord r = Sample();
    const std::string line = HistoryLine(r);
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    EXPECT_TRUE(line.starts_with("{\"start\":\"2026-12-09T12:34:56.789Z\",")) << line;
    EXPECT_NE(line.find("\"check_value\":\"0xBEEF\""), std::string::npos) << line;
    const auto back = ParseHistoryLine(line);
    ASSERT_TRUE(back.has_value()) << line;
    EXPECT_EQ(*back, r);

    // Names need not be UTF-8; the record is still written, and reads back.
    HistoryRecord odd = r;
    odd.Package = std::string("caf\xe9.bin");
    const auto oddBack = ParseHistoryLine(HistoryLine(odd));
    ASSERT_TRUE(oddBack.has_value());
    EXPECT_EQ(oddBack->Package.substr(0, 3), "caf");
    EXPECT_EQ(oddBack->Outcome, r.Outcome);
}

TEST(HistoryRecordJson, NoProperPrefixOfALineIsARecord) {
    // What a crash can leave: any first part of a record.
    const std::string line = HistoryLine(Sample());
    for (std::size_t n = 0; n < line.size(); ++n) {
        EXPECT_FALSE(ParseHistoryLine(std::string_view(line).substr(0, n)).has_value()) << n;
    }
}

TEST(HistoryRecordJson, KnownFieldsOfTheWrongTypeAreRefusedUnknownOnesPassOver) {
    const std::string good = R"({"start":"2026-01-01T00:00:00.000Z","completed":true,"blocks_sent":3)";
    ASSERT_TRUE(ParseHistoryLine(good + "}").has_value());
    // A later version's fields, of any shape, do not hide the record.
    const auto later = ParseHistoryLine(good + R"(,"dock":{"slot":[1,2,{"x":null}]},"rate":1.5})");
    ASSERT_TRUE(later.has_value());
    EXPECT_EQ(later->BlocksSent, 3u);
    EXPECT_TRUE(later->Completed);
    for (const char* bad : {R"(,"completed":"yes"})", R"(,"blocks_sent":-1})", R"(,"blocks_sent":1.5})",
                            R"(,"outcome":["x"]})", R"(,"check_value":"0x12"})", R"(,"check_value":"0xGGGG"})",
                            R"(,"model_code":4294967296})", R"(,"package":null})", R"(} {})"}) {
        EXPECT_FALSE(ParseHistoryLine(good + bad).has_value()) << bad;
    }
    // Not an object with a start time: no record.
    for (const char* bad : {"", "[]", "\"x\"", "42", "{}", R"({"outcome":"x"})", R"({"start":1})"}) {
        EXPECT_FALSE(ParseHistoryLine(bad).has_value()) << bad;
    }
}

TEST(HistoryReading, TornAndBrokenLinesArePassedOverAndCountedTheRestKeepsItsOrder) {
    HistoryRecord a = Sample();
    HistoryRecord b = Sample();
    b.Start = "2026-12-10T08:00:00.000Z";
    b.Completed = true;
    HistoryRecord c = Sample();
    c.Start = "2026-12-11T08:00:00.000Z";
    const std::string la = HistoryLine(a), lb = HistoryLine(b), lc = HistoryLine(c);
    // A torn record in the middle (a crash, then later appends on a new line), CR LF from
    // a copy through another system, a blank line, and a torn last line.
    const std::string text = la + "\n" + lb.substr(0, 40) + "\n" + lb + "\r\n\n" + lc + "\n" + la.substr(0, 77);
    const HistoryContents contents = ReadHistoryText(text);
    ASSERT_EQ(contents.Records.size(), 3u);
    EXPECT_EQ(contents.Records[0], a);
    EXPECT_EQ(contents.Records[1], b);
    EXPECT_EQ(contents.Records[2], c);
    EXPECT_EQ(contents.Unreadable, 2u);
    EXPECT_FALSE(contents.Missing);
}


// The reader takes the one shape a line has, byte by byte; whatever it takes must be JSON a
// strict parser takes too, and must be what the line says. Lines damaged at random (a byte
// changed, dropped or doubled, as a bad disk or a copy gone wrong leaves them) try it.
TEST(HistoryRecordJson, NoDamagedLineIsTakenThatAStrictJsonParserRefusesOrThatSaysOtherwise) {
    HistoryRecord r = Sample();
    r.Package = "fw \xc3\xa9t\xc3\xa9 \xf0\x9f\x93\xbb \\ \t\x01.bin";
    std::string line = HistoryLine(r);
    ASSERT_EQ(ParseHistoryLine(line), r);
    // Escapes a writer of another kind may use: \u forms, surrogate pairs, an escaped slash.
    const auto escaped = ParseHistoryLine(
        R"({"start":"s","package":"a\/b \u00e9 \ud83d\udcfb \u0041","later":{"x":[1,-2.5e3,true,null,"\""]}})");
    ASSERT_TRUE(escaped.has_value());
    EXPECT_EQ(escaped->Package, "a/b \xc3\xa9 \xf0\x9f\x93\xbb A");
    for (const char* bad : {R"({"start":"\ud83d"})", R"({"start":"\udcfb"})", R"({"start":"\x41"})",
                            "{\"start\":\"a\x01\"}", "{\"start\":\"\xc3\"}", "{\"start\":\"\xed\xa0\x80\"}",
                            "{\"start\":\"\xc0\xaf\"}", R"({"start":"s","later":01})", R"({"start":"s","later":1.})",
                            R"({"start":"s",})", R"({"start":"s" "end":"e"})", R"({"start":"s","later":[1,]})"}) {
        EXPECT_FALSE(ParseHistoryLine(bad).has_value()) << bad;
    }
    std::string deep = R"({"start":"s","later":)";
    for (int i = 0; i < 100; ++i) deep += '[';
    for (int i = 0; i < 100; ++i) deep += ']';
    EXPECT_FALSE(ParseHistoryLine(deep + "}").has_value()) << "nesting past any later version's";

    std::mt19937 random(20261210);
    const std::string bytes = "{}[]\",:\\0123456789-+.eEtrufalsn \x01\x7f\xc3\xa9\xed\xf0";
    int taken = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        std::string damaged = line;
        const std::size_t at = random() % damaged.size();
        switch (random() % 3) {
            case 0: damaged[at] = bytes[random() % bytes.size()]; break;
            case 1: damaged.erase(at, 1); break;
            default: damaged.insert(at, 1, damaged[at]); break;
        }
        const auto record = ParseHistoryLine(damaged);
        if (!record) continue;
        ++taken;
        ASSERT_TRUE(nlohmann::json::accept(damaged)) << damaged;
        // What was taken is what the line holds: written again and read, it is the same.
        ASSERT_EQ(ParseHistoryLine(HistoryLine(*record)), record) << damaged;
        ASSERT_EQ(nlohmann::json::parse(damaged).value("start", std::string()), record->Start) << damaged;
    }
    EXPECT_GT(taken, 100) << "some damage leaves a record (a changed letter in a name)";
}

}  // namespace
}  // namespace quenfall
