// The time left a real-time run announces, against the time that actually remained: one
// emulated upgrade of a 1 MiB package (the radio restarts into boot mode first), looked at
// where each quarter of the upload is done. Prints the four errors; the goal is within 10%.
//   time_left_bench [MiB]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>
#include <vector>

#include "cli/terminal_view.h"
#include "emulator/emulated_radio.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "runs/flash_package.h"

namespace {

using namespace quenfall;
using Clock = std::chrono::steady_clock;

// The terminal's view of the run, keeping every announcement with the time it was made.
class TimedView final : public cli::TerminalView {
public:
    TimedView(std::ostream& out) : TerminalView(out, out, false) {}
    void RunProgressChanged(const RunProgress& progress) override { seen.push_back({progress, Clock::now()}); }
    std::vector<std::pair<RunProgress, Clock::time_point>> seen;
};

}  // namespace

int main(int argc, char** argv) {
    const long mib = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1;
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(mib) * 1024 * 1024);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    spec.Sections = {{5, 5, std::move(data)}};
    const auto package = LoadPackageImage(WritePackage(spec)).Accepted;
    if (!package) return 1;

    EmulatedRadioConfig config;
    config.Selection = package->Selection;
    EmulatedRadio radio(config);
    int changes = 0;
    radio.SetPresenceCallback([&](bool) { ++changes; });
    FlashOptions options;
    options.TakeUsbEvents = [&] {
        radio.Advance();
        return std::exchange(changes, 0);
    };
    std::ostringstream shown;
    TimedView view(shown);
    const Clock::time_point start = Clock::now();
    const int status = FlashPackage(package, radio, view, options);
    const Clock::time_point end = Clock::now();
    std::printf("%ld MiB emulated upgrade: %s in %.2f s, %zu announcements\n", mib, status == 0 ? "completed" : "FAILED",
                std::chrono::duration<double>(end - start).count(), view.seen.size());

    double worst = 0;
    int quarter = 1;
    for (const auto& [progress, at] : view.seen) {
        if (quarter > 4 || progress.Phase != RunPhase::Uploading) continue;
        // The last quarter is looked at on the last block the upload announces.
        const std::int32_t mark = quarter == 4 ? progress.BlocksTotal - 1 : progress.BlocksTotal * quarter / 4;
        if (progress.BlocksDone < mark) continue;
        const double remained = std::chrono::duration<double>(end - at).count();
        const double announced = std::chrono::duration<double>(progress.Left).count();
        const double error = (announced - remained) / remained * 100;
        worst = std::max(worst, std::abs(error));
        std::printf("quarter %d (block %d of %d): announced %.2f s left, %.2f s remained, error %+.1f%%\n", quarter,
                    progress.BlocksDone, progress.BlocksTotal, announced, remained, error);
        ++quarter;
    }
    std::printf("worst error %.1f%% (goal: within 10%%)\n", worst);
    return status == 0 && quarter == 5 ? 0 : 1;
}
