// The warning before the wrong model: which serial names one radio, what the history says of
// it (read as a stream), and when a run's package asks a question.
#include "runs/model_change.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "history/history_json.h"
#include "history/history_lookup.h"
#include "package/package_loader.h"
#include "package/package_writer.h"

namespace quenfall {
namespace {

namespace fs = std::filesystem;

RadioDrive Drive(std::string location, std::string serial) {
    return RadioDrive{"/dev/sdx", std::move(location), "STM     ", "microSD Flash   ", std::move(serial)};
}

HistoryRecord Record(std::string serial, std::string location, std::uint32_t model, bool completed, std::string start,
                  std::string end, std::string package = "p.bin") {
    HistoryRecord r;
    r.Serial = std::move(serial);
    r.Location = std::move(location);
    r.ModelCode = model;
    r.Completed = completed;
    r.Start = std::move(start);
    r.End = std::move(end);
    r.Package = std::move(package);
    r.Outcome = completed ? " Program upgrade is complete!" : " Communication Error!";
    return r;
}

std::shared_ptr<const Package> PackageOfModel(std::uint8_t model) {
    PackageSpec spec;
    spec.ModelCode = model;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, std::vector<std::uint8_t>(2048, 0x11)}};
    return LoadPackageImage(WritePackage(spec)).Accepted;
}

class ModelChangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = fs::temp_directory_path() /
                ("quenfall-model-change-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                 ".jsonl");
        fs::remove(file_);
    }
    void TearDown() override { fs::remove(file_); }
    void Write(const std::vector<HistoryRecord>& records, const std::string& extra = "") {
        std::ofstream out(file_, std::ios::binary | std::ios::app);
        for (const HistoryRecord& r : records) out << HistoryLine(r) << '\n';
        out << extra;
    }
    fs::path file_;
};

TEST(SerialIdentity, OnlyASerialThatCanNameOneRadioDoes) {
    const std::vector<RadioDrive> scan = {Drive("1-1.1", "A1B2C3"), Drive("1-1.2", "0000000000"),
                                          Drive("1-1.3", "TWIN"), Drive("1-1.4", "TWIN"), Drive("1-1.5", "")};
    EXPECT_TRUE(SerialIsIdentity(scan[0], scan));
    EXPECT_FALSE(SerialIsIdentity(scan[1], scan)) << "one character over and over";
    EXPECT_FALSE(SerialIsIdentity(Drive("1-1.6", "F"), scan)) << "a single character is such a run too";
    EXPECT_FALSE(SerialIsIdentity(scan[2], scan)) << "at two ports at once";
    EXPECT_FALSE(SerialIsIdentity(scan[4], scan)) << "empty";
    // The same radio listed twice at its one port is still one radio.
    EXPECT_TRUE(SerialIsIdentity(scan[0], {scan[0], scan[0]}));
}

TEST_F(ModelChangeTest, TheLookupFindsTheLastCompletedRunOfTheSerialAndPassesOverTheRest) {
    Write({Record("A1", "1-1.1", 17, true, "2026-01-01T10:00:00.000Z", "2026-01-01T10:05:00.000Z", "first.bin"),
           Record("B2", "1-1.2", 11, true, "2026-01-01T10:00:00.000Z", "2026-01-01T10:05:00.000Z"),
           Record("A1", "1-1.1", 2, true, "2026-01-02T10:00:00.000Z", "2026-01-02T10:05:00.000Z", "second.bin"),
           Record("A1", "1-1.1", 11, false, "2026-01-03T10:00:00.000Z", "2026-01-03T10:05:00.000Z")},
          "{\"serial\":\"A1\",\"completed\":tru\n");  // a line torn by a crash
    const RadioHistory a = LookUpRadio(file_, "A1");
    ASSERT_TRUE(a.LastCompleted);
    EXPECT_EQ(a.LastCompleted->Package, "second.bin");
    EXPECT_EQ(a.LastCompleted->ModelCode, 2u);
    EXPECT_FALSE(a.SeenAtTwoPortsAtOnce);
    EXPECT_TRUE(a.Problem.empty());
    EXPECT_FALSE(LookUpRadio(file_, "A").LastCompleted) << "a serial is matched whole";
    EXPECT_FALSE(LookUpRadio(file_, "C3").LastCompleted);
    EXPECT_FALSE(LookUpRadio(file_ / "none", "A1").LastCompleted);
    EXPECT_TRUE(LookUpRadio(file_ / "none", "A1").Problem.empty()) << "no history is no problem";

    // Two runs at two ports whose times overlap: the serial names no one radio. One after
    // the other at two ports is a radio moved, and still names it.
    Write({Record("A1", "1-1.9", 2, true, "2026-01-05T10:00:00.000Z", "2026-01-05T10:05:00.000Z")});
    EXPECT_FALSE(LookUpRadio(file_, "A1").SeenAtTwoPortsAtOnce);
    Write({Record("A1", "1-1.8", 2, true, "2026-01-05T10:04:00.000Z", "2026-01-05T10:09:00.000Z")});
    EXPECT_TRUE(LookUpRadio(file_, "A1").SeenAtTwoPortsAtOnce);
}

TEST_F(ModelChangeTest, OnlyAnotherModelCodeThanTheRadiosLastAsks) {
    Write({Record("EMULATED-0001", "1-1.1", 17, true, "2026-01-01T10:00:00.000Z", "2026-01-01T10:05:00.000Z", "m17.bin"),
           Record("EMULATED-0002", "1-1.2", 2, true, "2026-01-01T10:00:00.000Z", "2026-01-01T10:05:00.000Z")});
    const RadioDrive one = Drive("1-1.1", "EMULATED-0001");
    const RadioDrive two = Drive("1-1.2", "EMULATED-0002");
    const RadioDrive unknown = Drive("1-1.3", "EMULATED-0003");
    const std::vector<RadioDrive> scan = {one, two, unknown};

    const std::optional<ModelChange> change = FindModelChange(file_, one, scan, *PackageOfModel(2));
    ASSERT_TRUE(change);
    EXPECT_EQ(change->PackageModel, 2u);
    EXPECT_EQ(change->Last.ModelCode, 17u);
    EXPECT_EQ(ModelChangeFacts(*change),
              "The radio with USB serial EMULATED-0001 last took a package for model code 17 (m17.bin, "
              "2026-01-01T10:05:00.000Z); this package is for model code 2.");
    EXPECT_EQ(ModelChangeOutcome(*change, false), "refused: model change from model code 17 (m17.bin) to 2");
    EXPECT_EQ(ModelChangeOutcome(*change, true), "model change allowed from model code 17 (m17.bin) to 2");
    const RadioOutcome answer = ModelChangeAnswer(*change, one, false);
    EXPECT_EQ(answer.BlocksSent, 0u);
    EXPECT_FALSE(answer.Completed);
    EXPECT_EQ(answer.Drive.Serial, "EMULATED-0001");

    EXPECT_FALSE(FindModelChange(file_, one, scan, *PackageOfModel(17))) << "the same model code";
    EXPECT_FALSE(FindModelChange(file_, two, scan, *PackageOfModel(2)));
    EXPECT_TRUE(FindModelChange(file_, two, scan, *PackageOfModel(0))) << "0 and 2 share a profile, not a model code";
    EXPECT_FALSE(FindModelChange(file_, unknown, scan, *PackageOfModel(2))) << "an unknown radio";
    EXPECT_FALSE(FindModelChange(file_, one, {one, Drive("1-1.7", "EMULATED-0001")}, *PackageOfModel(2)))
        << "a serial at two ports at once names no one radio";
    EXPECT_FALSE(FindModelChange(file_ / "none", one, scan, *PackageOfModel(2))) << "no history";
    EXPECT_FALSE(FindModelChange({}, one, scan, *PackageOfModel(2))) << "no place for a history";
}

}  // namespace
}  // namespace quenfall
