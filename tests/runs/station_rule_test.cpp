// Station mode's rule on its own, over the scans a station would make: radios that restart
// during their run, reset after it, are swapped, moved or retried; then a hundred radios
// coming and going on a hub of sixteen ports at random, each upgraded exactly once.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>

#include "runs/station_rule.h"

namespace quenfall {
namespace {

using namespace std::chrono_literals;
using TimePoint = StationRule::TimePoint;
using State = StationRule::State;

RadioDrive At(const std::string& location, const std::string& serial = {}) {
    return {"/dev/sd?", location, "STM     ", "microSD Flash   ", serial};
}

std::vector<std::string> LocationsOf(const std::vector<RadioDrive>& drives) {
    std::vector<std::string> locations;
    for (const RadioDrive& d : drives) locations.push_back(d.Location);
    return locations;
}

const StationRule::Radio& Last(const StationRule& rule) { return rule.Radios().back(); }

TEST(StationRule, ARadioComingBackDuringItsRunOrAfterItsResetIsNotUpgradedAgain) {
    StationRule rule;
    const TimePoint t0{};
    EXPECT_EQ(LocationsOf(rule.Seen({At("1-1.1")}, t0)), std::vector<std::string>{"1-1.1"});
    EXPECT_TRUE(rule.Running());
    ASSERT_EQ(rule.Radios().size(), 1u);
    EXPECT_STREQ(StationRule::StateName(Last(rule).Now), "running");
    // Its restart into boot mode: gone for longer than any wait, back; the run's affair.
    EXPECT_TRUE(rule.Seen({}, t0 + 1s).empty());
    EXPECT_TRUE(rule.Seen({At("1-1.1")}, t0 + 20s).empty());
    rule.Ended("1-1.1");
    EXPECT_FALSE(rule.Running());
    EXPECT_TRUE(rule.Seen({At("1-1.1")}, t0 + 21s).empty());
    EXPECT_STREQ(StationRule::StateName(Last(rule).Now), "done");
    // Its reset: away, then back within the restart wait.
    EXPECT_TRUE(rule.Seen({}, t0 + 22s).empty());
    EXPECT_EQ(Last(rule).Now, State::Away);
    EXPECT_TRUE(rule.Seen({At("1-1.1")}, t0 + 22s + StationRestartWait).empty());
    EXPECT_EQ(Last(rule).Now, State::Done);
    // Unplugged; a radio in the same port within the wait cannot be told from it...
    EXPECT_TRUE(rule.Seen({}, t0 + 40s).empty());
    EXPECT_TRUE(rule.Seen({At("1-1.1")}, t0 + 43s).empty());
    EXPECT_TRUE(rule.Seen({}, t0 + 44s).empty());
    // ...one plugged in after it is a new radio.
    EXPECT_EQ(rule.Seen({At("1-1.1")}, t0 + 44s + StationRestartWait + 1ms).size(), 1u);
    EXPECT_EQ(Last(rule).Runs, 2u);
    EXPECT_EQ(rule.Radios().size(), 1u) << "without a serial, a port is one radio";
}

TEST(StationRule, AUniqueSerialTellsASwappedRadioFromAMovedOne) {
    StationRule rule;
    const TimePoint t0{};
    ASSERT_EQ(rule.Seen({At("1-1.1", "A"), At("1-1.2", "B")}, t0).size(), 2u);
    // In boot mode a radio may show another serial, or none: still its run's.
    EXPECT_TRUE(rule.Seen({At("1-1.1", "BOOT"), At("1-1.2")}, t0 + 2s).empty());
    rule.Ended("1-1.1");
    rule.Ended("1-1.2");
    EXPECT_TRUE(rule.Seen({At("1-1.1", "A"), At("1-1.2", "B")}, t0 + 10s).empty());
    // A swapped for C on the same port a second later: C is new at once.
    EXPECT_TRUE(rule.Seen({At("1-1.2", "B")}, t0 + 11s).empty());
    EXPECT_EQ(LocationsOf(rule.Seen({At("1-1.1", "C"), At("1-1.2", "B")}, t0 + 12s)),
              std::vector<std::string>{"1-1.1"});
    // B moved to another port within the wait: the same radio, done.
    EXPECT_TRUE(rule.Seen({At("1-1.1", "C")}, t0 + 13s).empty());
    EXPECT_TRUE(rule.Seen({At("1-1.1", "C"), At("1-1.7", "B")}, t0 + 14s).empty());
    ASSERT_EQ(rule.Radios().size(), 3u);
    EXPECT_EQ(rule.Radios()[1].Location, "1-1.7");
    EXPECT_EQ(rule.Radios()[1].Now, State::Done);
    // A serial two radios share tells nothing: their ports do.
    EXPECT_EQ(LocationsOf(rule.Seen({At("1-1.1", "C"), At("1-1.7", "B"), At("1-1.3", "X"), At("1-1.4", "X")},
                                    t0 + 15s)),
              (std::vector<std::string>{"1-1.3", "1-1.4"}));
    EXPECT_TRUE(rule.Radios().back().Serial.empty());
}

TEST(StationRule, RetryRunsARadioAgainOnlyWhenAsked) {
    StationRule rule;
    const TimePoint t0{};
    ASSERT_EQ(rule.Seen({At("1-1.1")}, t0).size(), 1u);
    EXPECT_FALSE(rule.Retry("1-1.1")) << "its run goes on";
    EXPECT_FALSE(rule.Retry("1-1.9")) << "no such radio";
    rule.Ended("1-1.1");
    // A failed radio left plugged in is not run again by itself...
    EXPECT_TRUE(rule.Seen({At("1-1.1")}, t0 + 30s).empty());
    ASSERT_TRUE(rule.Retry("1-1.1"));
    EXPECT_STREQ(StationRule::StateName(Last(rule).Now), "waiting");
    // ...but at the next scan once retried, and once only.
    EXPECT_EQ(rule.Seen({At("1-1.1")}, t0 + 31s).size(), 1u);
    EXPECT_TRUE(rule.Seen({At("1-1.1")}, t0 + 32s).empty());
    rule.Ended("1-1.1");
    // Retried while away: run as soon as it is back, whatever the wait.
    EXPECT_TRUE(rule.Seen({}, t0 + 33s).empty());
    ASSERT_TRUE(rule.Retry("1-1.1"));
    EXPECT_TRUE(rule.Seen({}, t0 + 34s).empty());
    EXPECT_EQ(rule.Seen({At("1-1.1")}, t0 + 35s).size(), 1u);
    EXPECT_EQ(Last(rule).Runs, 3u);
}

// A hub of ports, radios brought to it one after another at random: each radio restarts
// during its run (in boot mode with another serial, or none), may reset during the run's
// last pause or after it, comes back in programming mode, stays a while and is unplugged;
// the next radio of its port follows. Scans every 100 ms.
struct Hub {
    struct Radio {
        std::size_t Port = 0;
        std::string Serial;
        TimePoint Arrive{};
        std::optional<TimePoint> RunStart;
        std::chrono::milliseconds RestartAt{}, RestartFor{}, RunTakes{}, ResetAt{}, ResetFor{}, StaysFor{};
        std::optional<TimePoint> Unplugged;
        bool Ended = false;
        int Runs = 0;
    };

    std::vector<Radio> Radios;

    bool Present(const Radio& r, TimePoint t) const {
        if (t < r.Arrive || (r.Unplugged && t >= *r.Unplugged)) return false;
        if (!r.RunStart) return true;
        const TimePoint restart = *r.RunStart + r.RestartAt;
        if (t >= restart && t < restart + r.RestartFor) return false;
        const TimePoint reset = *r.RunStart + r.RunTakes + r.ResetAt;
        return !(t >= reset && t < reset + r.ResetFor);
    }
};

void BringAHundredRadios(bool serials, unsigned seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const auto ms = [&](int from, int to) { return std::chrono::milliseconds(std::uniform_int_distribution(from, to)(random)); };
    constexpr std::size_t Ports = 16, Count = 100;
    const int wait = static_cast<int>(StationRestartWait.count());
    Hub hub;
    const TimePoint t0{};
    std::vector<std::size_t> queued(Ports, 0);  // radios brought to each port so far
    std::size_t brought = 0;
    const auto bring = [&](std::size_t port, TimePoint at) {
        if (brought == Count) return;
        Hub::Radio r;
        r.Port = port;
        r.Serial = serials ? "SN" + std::to_string(brought) : "";
        r.Arrive = at;
        r.RestartAt = ms(200, 1500);
        r.RestartFor = ms(1000, 2500);
        r.RunTakes = r.RestartAt + r.RestartFor + ms(1000, 6000);
        r.ResetAt = ms(-2000, 500);  // a reset may come during the run's last pause
        r.ResetFor = ms(500, wait - 1000);
        r.StaysFor = ms(500, 6000);
        hub.Radios.push_back(r);
        ++brought;
        ++queued[port];
    };
    for (std::size_t p = 0; p < Ports; ++p) bring(p, t0 + ms(0, 5000));

    StationRule rule;
    std::map<std::string, std::size_t> running;  // port -> radio whose run goes on
    for (TimePoint t = t0; t < t0 + std::chrono::hours(1); t += 100ms) {
        for (std::size_t i = 0; i < hub.Radios.size(); ++i) {
            Hub::Radio& r = hub.Radios[i];
            if (r.RunStart && !r.Ended && t >= *r.RunStart + r.RunTakes) {
                r.Ended = true;
                running.erase("1-1." + std::to_string(r.Port + 1));
                rule.Ended("1-1." + std::to_string(r.Port + 1));
                const TimePoint back = std::max(*r.RunStart + r.RunTakes, *r.RunStart + r.RunTakes + r.ResetAt + r.ResetFor);
                r.Unplugged = back + r.StaysFor;
                // Without serials the next radio must come after the wait: sooner, nothing
                // could tell it from this one coming back.
                bring(r.Port, *r.Unplugged + (serials ? ms(0, 3000) : StationRestartWait + ms(200, 3000)));
            }
        }
        std::vector<RadioDrive> scan;
        std::map<std::string, std::size_t> byPort;
        for (std::size_t i = 0; i < hub.Radios.size(); ++i) {
            const Hub::Radio& r = hub.Radios[i];
            if (!hub.Present(r, t)) continue;
            const std::string location = "1-1." + std::to_string(r.Port + 1);
            const bool inBootMode = r.RunStart && !r.Ended && t >= *r.RunStart + r.RestartAt + r.RestartFor;
            scan.push_back(At(location, inBootMode ? (i % 2 ? "BOOT" : "") : r.Serial));
            ASSERT_FALSE(byPort.count(location)) << "two radios on one port";
            byPort[location] = i;
        }
        for (const RadioDrive& d : rule.Seen(scan, t)) {
            ASSERT_TRUE(byPort.count(d.Location));
            Hub::Radio& r = hub.Radios[byPort[d.Location]];
            ASSERT_FALSE(running.count(d.Location)) << "a second run on " << d.Location;
            ++r.Runs;
            if (!r.RunStart) r.RunStart = t;
            running[d.Location] = byPort[d.Location];
        }
        if (brought == Count && std::all_of(hub.Radios.begin(), hub.Radios.end(), [&](const Hub::Radio& r) {
                return r.Unplugged && t > *r.Unplugged;
            }))
            break;
    }
    ASSERT_EQ(hub.Radios.size(), Count);
    for (std::size_t i = 0; i < Count; ++i) EXPECT_EQ(hub.Radios[i].Runs, 1) << "radio " << i;
    EXPECT_FALSE(rule.Running());
    if (serials) {
        EXPECT_EQ(rule.Radios().size(), Count) << "each radio known by its serial";
    }
}

TEST(StationRule, AHundredRadiosOnSixteenPortsEachUpgradedExactlyOnce) {
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
        BringAHundredRadios(false, seed);
        BringAHundredRadios(true, seed);
    }
}

}  // namespace
}  // namespace quenfall
