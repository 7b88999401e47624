// A timed run of the shop window: 16 emulated radios upgraded at once through ShopWindow, on
// a face that draws nothing but runs its refresh timer as the real faces do, against one
// radio with the same package. Prints the wall time of each, their ratio (the goal is 1.05 at
// most: each radio is bound by its own stop-and-wait dialogue, not by the window), the
// process's CPU while the 16 runs go on, the refresh ticks the window takes in 10 s with no
// run (the goal is 0), and the most rows set in any one second for any row (the goal is 10
// at most, whatever the runs' tick rate).
//
// Then station mode: 16 emulated radios plugged in one second apart, each radio's run time
// against a lone radio's through the same station (the goal is 1.05 at most), the window's
// CPU meanwhile and its ticks in 10 s once they have all gone (the goal is 0); and 100
// emulated arrivals, each radio restarting into boot mode during its run and coming back
// after its reset, every one upgraded exactly once.
//
// Every radio of both crates restarts in the same time: the spread the command line gives
// its emulated radios (to make them trade device names) would add 1.5 s to a crate of 16
// that is no cost of the window's.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "emulator/emulated_radio_source.h"
#include "emulator/emulated_station_source.h"
#include "runs/radio_source.h"
#include "history/history_recorder.h"
#include "package/package_writer.h"
#include "emulator/emulated_crate.h"
#include "window/shop_window.h"
#include "window/window_texts.h"
#include "cpu_seconds.h"

namespace {

using namespace quenfall;
using namespace quenfall::window;
using Clock = std::chrono::steady_clock;

using quenfall::bench::CpuSeconds;

// Draws nothing; keeps the times each row was set and whether the refresh timer is on.
class NullFace final : public ShopFace {
public:
    void SetCaption(std::u16string_view) override {}
    void SetText(ShopControl, std::u16string_view) override {}
    void SetEnabled(ShopControl, bool) override {}
    void SetChecked(ShopControl, bool) override {}
    void SetDefaultButton(ShopControl) override {}
    void SetFocus(ShopControl) override {}
    void SetRowCount(std::size_t rows) override { setTimes.resize(rows); }
    void SetRow(std::size_t index, const ShopRowView&) override { setTimes.at(index).push_back(Clock::now()); }
    void ShowBox(BoxIcon, std::u16string_view, std::u16string_view text) override {
        std::cerr << "box: " << Utf8(text) << '\n';
    }
    bool AskBox(std::u16string_view, std::u16string_view) override { return false; }
    std::optional<ChosenFile> OpenFileName(std::u16string_view) override { return std::nullopt; }
    std::optional<ChosenFile> SaveFileName(std::u16string_view, std::u16string_view) override { return std::nullopt; }
    void SetRefreshTimer(bool on) override { timerOn = on; }
    // Kept, never run: the measured radios have no history, so the window posts no question.
    void Post(std::function<void()> task) override { posted.push_back(std::move(task)); }
    std::vector<std::function<void()>> posted;

    bool timerOn = false;
    std::vector<std::vector<Clock::time_point>> setTimes;
};

// The face's timer, as a Qt or Win32 timer runs: Refresh an interval after the last firing
// (a late firing is not made up for), while it is on, on the calling thread, until it is
// switched off or until limit. Returns the ticks taken.
std::uint64_t RunTimer(ShopWindow& window, NullFace& face, Clock::time_point limit) {
    std::uint64_t ticks = 0;
    Clock::time_point next = Clock::now() + ShopRefreshInterval;
    while (Clock::now() < limit) {
        std::this_thread::sleep_until(std::min(next, limit));
        if (Clock::now() < next) continue;
        next = Clock::now() + ShopRefreshInterval;
        if (!face.timerOn) continue;
        window.Refresh();
        ++ticks;
        if (!face.timerOn) break;
    }
    return ticks;
}

// The most SetRow calls for one row within any one second.
std::size_t MostSetsInASecond(const NullFace& face) {
    std::size_t most = 0;
    for (const auto& times : face.setTimes) {
        std::size_t first = 0;
        for (std::size_t last = 0; last < times.size(); ++last) {
            while (times[last] - times[first] >= std::chrono::seconds(1)) ++first;
            most = std::max(most, last - first + 1);
        }
    }
    return most;
}

struct ShopTime {
    double Wall = 0;
    double Cpu = 0;
    std::size_t Completed = 0;
    std::size_t MostSets = 0;
    std::uint64_t IdleTicks = 0;
};

ShopTime RunShop(const std::filesystem::path& package, const std::filesystem::path& folder, std::size_t radios,
                 bool idle) {
    std::vector<EmulatedRadioConfig> configs;
    for (std::size_t i = 0; i < radios; ++i) {
        EmulatedRadioConfig config = EmulatedCrateRadio(i, radios, ProfileSelection{0, 1, 0, 0}, {});
        config.RestartTime = EmulatedRestartTime;
        configs.push_back(std::move(config));
    }
    EmulatedRadioSource source(std::make_unique<EmulatedCrate>(std::move(configs)));
    HistoryRecorder history(folder / ("history-" + std::to_string(radios) + ".jsonl"));
    NullFace face;
    ShopWindow window(source, face, history, u"Quenfall");
    window.SetStartPackage({package, package.u16string()});
    window.Shown();
    ShopTime t;
    if (idle) {
        // No run: the window must not ask for a single tick.
        t.IdleTicks = RunTimer(window, face, Clock::now() + std::chrono::seconds(10));
    }
    face.setTimes.assign(window.RowCount(), {});
    const double cpu = CpuSeconds();
    const Clock::time_point start = Clock::now();
    window.Click(ShopControl::UpgradeAllButton);
    RunTimer(window, face, start + std::chrono::minutes(5));
    t.Wall = std::chrono::duration<double>(Clock::now() - start).count();
    t.Cpu = CpuSeconds() - cpu;
    for (std::size_t i = 0; i < window.RowCount(); ++i)
        if (window.Row(i).Outcome == RowOutcome::Success) ++t.Completed;
    t.MostSets = MostSetsInASecond(face);
    return t;
}

struct StationTime {
    double Wall = 0;
    double Cpu = 0;
    std::vector<double> RunSeconds;  // each run's, in arrival order
    std::size_t Completed = 0;
    std::size_t UpgradedOnce = 0;    // radios with one run, one restart, one reset, one exit answered
    std::size_t Runs = 0;
    std::uint64_t IdleTicks = 0;
};

// Station mode on from the start, no key pressed, until every radio has come and gone and
// the window asks for no more ticks.
StationTime RunStation(const std::filesystem::path& package, const std::filesystem::path& folder, std::size_t radios,
                       EmulatedArrivals arrivals, bool idle) {
    EmulatedStationSource source(radios, ProfileSelection{0, 1, 0, 0}, {}, arrivals);
    HistoryRecorder history(folder / ("station-" + std::to_string(radios) + ".jsonl"));
    NullFace face;
    ShopWindow window(source, face, history, u"Quenfall");
    window.SetStationAtStart(true);
    window.SetStartPackage({package, package.u16string()});
    StationTime t;
    const double cpu = CpuSeconds();
    const Clock::time_point start = Clock::now();
    window.Shown();
    RunTimer(window, face, start + std::chrono::minutes(10));
    t.Wall = std::chrono::duration<double>(Clock::now() - start).count();
    t.Cpu = CpuSeconds() - cpu;
    if (idle) t.IdleTicks = RunTimer(window, face, Clock::now() + std::chrono::seconds(10));
    const Station* station = window.StationRuns();
    if (station == nullptr) return t;
    t.Runs = station->Runs().size();
    for (const Station::Run& run : station->Runs()) {
        if (!run.Outcome) continue;
        t.RunSeconds.push_back(std::chrono::duration<double>(run.Outcome->End - run.Outcome->Start).count());
        if (run.Outcome->Completed) ++t.Completed;
    }
    for (std::size_t i = 0; i < radios; ++i) {
        const EmulatedRadio& radio = source.Crate().Radio(i);
        const bool once = station->Rule().Radios().size() == radios && station->Rule().Radios()[i].Runs == 1 &&
                          radio.Restarts() == 1 && radio.Resets() == 1 && radio.ExitsAnswered() == 1;
        if (once) ++t.UpgradedOnce;
    }
    return t;
}

bool StationGoals(const std::filesystem::path& folder) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    std::vector<std::uint8_t> data(128 * 1024);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37 + i / 2048);
    spec.Sections = {{0, 0, std::move(data)}};
    const auto bytes = WritePackage(spec);
    const auto package = folder / "station.bin";
    std::ofstream(package, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    using namespace std::chrono_literals;
    std::printf("station mode, emulated radios, 128 KiB package (64 blocks), each restarting into boot mode,\n"
                "back after its reset 2.5 s after its run, unplugged 4 s after its run\n");
    const StationTime lone = RunStation(package, folder, 1, {1000ms, 2500ms, 4000ms}, false);
    const StationTime sixteen = RunStation(package, folder, 16, {1000ms, 2500ms, 4000ms}, true);
    const StationTime hundred = RunStation(package, folder, 100, {250ms, 2500ms, 4000ms}, false);

    const double loneRun = lone.RunSeconds.empty() ? 0 : lone.RunSeconds.front();
    double longest = 0, sum = 0;
    for (double s : sixteen.RunSeconds) {
        longest = std::max(longest, s);
        sum += s;
    }
    const double mean = sixteen.RunSeconds.empty() ? 0 : sum / static_cast<double>(sixteen.RunSeconds.size());
    std::printf("  lone radio: run %.2f s\n", loneRun);
    std::printf("  16 radios 1 s apart: %zu runs, %zu completed, run mean %.2f s, longest %.2f s\n", sixteen.Runs,
                sixteen.Completed, mean, longest);
    std::printf("  longest run / lone run: %.3f, mean / lone: %.3f (goal: at most 1.05)\n", longest / loneRun,
                mean / loneRun);
    std::printf("  window's CPU while they came and went: %.2f s in %.1f s (%.1f%% of one core)\n", sixteen.Cpu,
                sixteen.Wall, 100 * sixteen.Cpu / sixteen.Wall);
    std::printf("  refresh ticks in 10 s once all had gone: %llu (goal: 0)\n",
                static_cast<unsigned long long>(sixteen.IdleTicks));
    std::printf("  100 arrivals 0.25 s apart: %zu runs, %zu completed, %zu radios upgraded exactly once (goal: 100)"
                ", %.1f s\n",
                hundred.Runs, hundred.Completed, hundred.UpgradedOnce, hundred.Wall);
    return lone.Completed == 1 && sixteen.Completed == 16 && sixteen.Runs == 16 && longest / loneRun <= 1.05 &&
           sixteen.IdleTicks == 0 && hundred.Runs == 100 && hundred.Completed == 100 && hundred.UpgradedOnce == 100;
}

}  // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("quenfall-shop-bench-" + std::to_string(Clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(folder);
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;  // mode 1: all 512 blocks of the 1 MiB section are sent
    std::vector<std::uint8_t> data(1024 * 1024);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + i / 4096);
    spec.Sections = {{0, 0, std::move(data)}};
    const auto bytes = WritePackage(spec);
    const auto package = folder / "fw.bin";
    std::ofstream(package, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    std::printf("shop window, emulated radios, 1 MiB package (512 blocks), each radio restarting into boot mode\n");
    const ShopTime one = RunShop(package, folder, 1, false);
    const ShopTime crate = RunShop(package, folder, 16, true);
    const bool stationOk = StationGoals(folder);
    std::filesystem::remove_all(folder);

    const double ratio = crate.Wall / one.Wall;
    std::printf("  radios   wall s   upgraded   CPU s   CPU %% of one core\n");
    std::printf("  %6d   %6.2f   %8zu   %5.2f   %5.1f\n", 1, one.Wall, one.Completed, one.Cpu, 100 * one.Cpu / one.Wall);
    std::printf("  %6d   %6.2f   %8zu   %5.2f   %5.1f\n", 16, crate.Wall, crate.Completed, crate.Cpu,
                100 * crate.Cpu / crate.Wall);
    std::printf("16 radios / 1 radio: %.3f (goal: at most 1.05)\n", ratio);
    std::printf("refresh ticks in 10 s with no run: %llu (goal: 0)\n", static_cast<unsigned long long>(crate.IdleTicks));
    std::printf("most rows set in one second, for any row: %zu (goal: at most 10)\n",
                std::max(one.MostSets, crate.MostSets));
    const bool ok = stationOk && one.Completed == 1 && crate.Completed == 16 && ratio <= 1.05 && crate.IdleTicks == 0 &&
                    std::max(one.MostSets, crate.MostSets) <= 10;
    std::printf("%s\n", ok ? "goals met" : "GOALS NOT MET");
    return ok ? 0 : 1;
}
