// Whole upgrades of a 1 MiB package in virtual time against the emulated radio: how many
// timer ticks the sequencer, the radio and the virtual clock get through per millisecond
// of real time (the tests rely on thousands).
#include <benchmark/benchmark.h>

#include <memory>

#include "package/package_loader.h"
#include "package/package_writer.h"
#include "emulator/emulated_radio.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"

namespace {

using namespace quenfall;

struct QuietView : UpgradeView {
    void SetStatusText(std::string_view) override {}
    void SetProgressWidth(int) override {}
    void SetSuccessIconVisible(bool) override {}
    void SetFailureIconVisible(bool) override {}
    void ShowInfo(std::string_view) override {}
    void ShowError(std::string_view, std::string_view) override {}
    void Pause(std::chrono::milliseconds) override {}
};

std::shared_ptr<const Package> MebibytePackage() {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    for (std::uint8_t id = 0; id < 4; ++id) {
        std::vector<std::uint8_t> data(256 * 1024);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13 + id);
        spec.Sections.push_back({id, id, std::move(data)});
    }
    return LoadPackageImage(WritePackage(spec)).Accepted;
}

void BM_VirtualUpgradeOneMebibyte(benchmark::State& state) {
    const auto package = MebibytePackage();
    std::uint64_t ticks = 0;
    for (auto _ : state) {
        VirtualClock clock;
        QuietView view;
        EmulatedRadioConfig config;
        config.Selection = package->Selection;
        config.Now = clock.NowFunction();
        config.KeepFrameLog = false;
        EmulatedRadio radio(config);
        UpgradeSequencer sequencer(radio, view, clock);
        clock.SetDispatch([&](TimerId id) { sequencer.OnTimer(id); radio.Advance(); });
        sequencer.Button2Click(package);
        clock.RunUntil([&] { return !sequencer.Busy() && !clock.IsOn(TimerId::EnterModeSure) &&
                                    !clock.IsOn(TimerId::EnterTunerMode) && !clock.IsOn(TimerId::EnterBootCheck); },
                       std::chrono::hours(1));
        if (radio.ExitsAnswered() != 1) state.SkipWithError("the upgrade did not complete");
        ticks += clock.TotalFirings();
    }
    state.counters["ticks"] = benchmark::Counter(static_cast<double>(ticks) / state.iterations());
    state.counters["ticks_per_ms"] =
        benchmark::Counter(static_cast<double>(ticks) / 1000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VirtualUpgradeOneMebibyte)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
