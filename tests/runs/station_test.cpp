// Whole stations in real time: emulated radios brought one after another, each restarting
// into boot mode during its run, resetting after it and coming back, then pulled by the
// emulated technician; every one upgraded once, in the order they arrived.
#include <gtest/gtest.h>

#include <thread>

#include "emulator/emulated_station_source.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "runs/station.h"
#include "upgrade/status_texts.h"

namespace quenfall {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<const Package> StationPackage() {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    std::vector<std::uint8_t> data(6 * 2048 + 100);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 11 + i / 2048);
    spec.Sections = {{0, 0, std::move(data)}};
    LoadResult loaded = LoadPackageImage(WritePackage(spec));
    if (!loaded.Accepted) throw std::runtime_error(loaded.Message);
    return loaded.Accepted;
}

// Polls as a station's holder does until every radio has come and gone, or a generous bound.
void PollUntilAllHaveLeft(Station& station, EmulatedStationSource& radios, std::size_t count) {
    const auto giveUp = std::chrono::steady_clock::now() + 90s;
    while (std::chrono::steady_clock::now() < giveUp) {
        station.Poll();
        if (station.EndedRuns() == count && !station.Running() && !radios.NextChange()) break;
        std::this_thread::sleep_for(50ms);
    }
    // A while longer: nothing more may start once they have gone.
    for (int i = 0; i < 10; ++i) {
        station.Poll();
        std::this_thread::sleep_for(50ms);
    }
}

constexpr EmulatedArrivals Quick{400ms, 1000ms, 1500ms};

TEST(Station, RadiosBroughtOneAfterAnotherAreEachUpgradedOnceThoughEachComesBackAfterItsReset) {
    const auto package = StationPackage();
    EmulatedStationSource radios(3, package->Selection, {}, Quick);
    EXPECT_TRUE(radios.Drives().size() <= 1u) << "nothing is there before its time";
    Station station(radios, package);
    PollUntilAllHaveLeft(station, radios, 3);

    ASSERT_EQ(station.Runs().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Station::Run& run = station.Runs()[i];
        EXPECT_EQ(run.Drive.Location, EmulatedCrate::PortLocation(i)) << "in the order they arrived";
        ASSERT_TRUE(run.Outcome.has_value());
        EXPECT_TRUE(run.Outcome->Completed) << run.Outcome->Outcome;
        const EmulatedRadio& radio = radios.Crate().Radio(i);
        EXPECT_EQ(radio.Restarts(), 1u);
        EXPECT_EQ(radio.Resets(), 1u);
        EXPECT_TRUE(radio.CompareSections(SectionsOf(*package)).empty());
        EXPECT_FALSE(radio.Present()) << "the technician pulled it";
        // Its name in the crate as made, then plugged in, back after its restart, back after
        // its reset.
        EXPECT_EQ(radios.Crate().NodesOf(i).size(), 4u);
        ASSERT_EQ(station.Rule().Radios().size(), 3u);
        EXPECT_EQ(station.Rule().Radios()[i].Runs, 1u);
        EXPECT_EQ(station.Rule().Radios()[i].Serial, EmulatedCrate::PortSerial(i)) << "known by its serial too";
        EXPECT_EQ(station.Rule().Radios()[i].Now, StationRule::State::Away);
    }
}

TEST(Station, AFailedRadioLeftPluggedInWaitsForRetryAndTheOthersGoOn) {
    const auto package = StationPackage();
    std::vector<Misbehaviour> faults(2);
    faults[1].FailedCommands = RequestMatch{0, std::nullopt, true};
    // The technician leaves it there until told.
    EmulatedStationSource radios(3, package->Selection, faults, {400ms, 1000ms, 60000ms});
    Station station(radios, package);
    const auto giveUp = std::chrono::steady_clock::now() + 90s;
    while (station.EndedRuns() < 3 && std::chrono::steady_clock::now() < giveUp) {
        station.Poll();
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(station.Runs().size(), 3u);
    EXPECT_TRUE(station.Runs()[0].Outcome->Completed);
    EXPECT_FALSE(station.Runs()[1].Outcome->Completed);
    EXPECT_TRUE(station.Runs()[2].Outcome->Completed);
    for (int i = 0; i < 10; ++i) {
        station.Poll();
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(station.Runs().size(), 3u) << "still plugged in, nothing runs again by itself";

    radios.Crate().Radio(1).Faults() = Misbehaviour{};
    ASSERT_TRUE(station.Retry("1-1.2"));
    const Station::Changes retried = station.Poll();
    ASSERT_EQ(retried.Started.size(), 1u);
    EXPECT_EQ(station.Runs()[retried.Started[0]].Drive.Location, "1-1.2");
    while (station.Running() && std::chrono::steady_clock::now() < giveUp) {
        station.Poll();
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_EQ(station.Runs().size(), 4u);
    ASSERT_TRUE(station.Runs()[3].Outcome.has_value());
    EXPECT_TRUE(station.Runs()[3].Outcome->Completed) << station.Runs()[3].Outcome->Outcome;
}

}  // namespace
}  // namespace quenfall
