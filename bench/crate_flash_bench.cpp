// A timed run: whole emulated upgrades of a 1 MiB package on 1, 4 and 8 radios at once, in
// real time, as `quenfall-cli flash --all --emulate N` runs them (one run per radio, each on
// its own thread, each through its radio's restart). Prints the wall time of each crate,
// the ratio of the 8-radio time to the 1-radio time (the goal is 1.05 at most: radios are
// bound by their own stop-and-wait dialogue, not by the PC) and the CPU used.
//
// A last crate of 8 has one radio whose every 40th read blocks for 2 s, as a command to a
// radio that stopped answering blocks until the transport's time-out: the other seven must
// finish in the time of one radio alone.

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "cli/crate_display.h"
#include "cli/crate_flash.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "emulator/emulated_crate.h"
#include "cpu_seconds.h"

namespace {

using namespace quenfall;
using namespace quenfall::cli;
using Clock = std::chrono::steady_clock;

using quenfall::bench::CpuSeconds;

// A radio that now and then takes the transport's whole time-out to answer a read.
class StallingChannel final : public DeviceChannel {
public:
    explicit StallingChannel(std::unique_ptr<DeviceChannel> inner) : inner_(std::move(inner)) {}
    CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override { return inner_->ScsiWrite(data); }
    CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
        if (++reads_ % 40 == 0) std::this_thread::sleep_for(std::chrono::seconds(2));
        return inner_->ScsiRead(buffer);
    }

private:
    std::unique_ptr<DeviceChannel> inner_;
    std::uint32_t reads_ = 0;
};

class StallingLink final : public DriveListLink {
public:
    explicit StallingLink(std::unique_ptr<DriveListLink> inner) : inner_(std::move(inner)) {}
    std::uint16_t ScanDrives() override { return inner_->ScanDrives(); }
    OpenResult OpenDevice() override { return OpenListedDrive(0); }
    OpenResult OpenListedDrive(std::size_t index) override {
        OpenResult r = inner_->OpenListedDrive(index);
        if (r.Channel) r.Channel = std::make_unique<StallingChannel>(std::move(r.Channel));
        return r;
    }
    std::vector<RadioDrive> ListedDrives() const override { return inner_->ListedDrives(); }

private:
    std::unique_ptr<DriveListLink> inner_;
};

struct CrateTime {
    double Wall = 0;
    double Cpu = 0;
    double SlowestHealthy = 0;  // the slowest radio not made to stall
    bool AllCompleted = false;
};

CrateTime RunCrate(const std::shared_ptr<const Package>& package, std::size_t count, bool oneStalls) {
    std::vector<EmulatedRadioConfig> configs(count);
    for (std::size_t i = 0; i < count; ++i) {
        configs[i].Selection = package->Selection;
        configs[i].RestartTime = std::chrono::milliseconds(1500 + 100 * static_cast<int>(count - 1 - i));
        configs[i].KeepFrameLog = false;
    }
    EmulatedCrate crate(std::move(configs));
    std::vector<CrateRadio> radios;
    std::vector<std::string> labels;
    for (const RadioDrive& d : crate.Drives()) {
        CrateRadio r;
        r.Drive = d;
        std::unique_ptr<DriveListLink> link = crate.Connect();
        if (oneStalls && radios.empty()) link = std::make_unique<StallingLink>(std::move(link));
        r.Link = std::make_unique<LocatedDeviceLink>(std::move(link), d);
        r.TakeUsbEvents = crate.UsbEventCounter(d.Location);
        radios.push_back(std::move(r));
        labels.push_back(d.Location);
    }
    std::ostringstream out, err;
    CrateDisplay display(out, err, false, labels);

    const double cpu = CpuSeconds();
    const Clock::time_point start = Clock::now();
    const auto outcomes = FlashCrate(package, radios, display, FlashOptions{});
    CrateTime t;
    t.Wall = std::chrono::duration<double>(Clock::now() - start).count();
    t.Cpu = CpuSeconds() - cpu;
    t.AllCompleted = true;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const RadioOutcome& o = outcomes[i];
        if (!o.Completed) {
            t.AllCompleted = false;
            std::cerr << o.Drive.Location << ": " << o.Outcome << '\n';
        }
        if (!(oneStalls && i == 0))
            t.SlowestHealthy = std::max(t.SlowestHealthy, std::chrono::duration<double>(o.End - o.Start).count());
    }
    return t;
}

}  // namespace

int main() {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;  // mode 1: all 512 blocks of the 1 MiB section are sent
    std::vector<std::uint8_t> data(1024 * 1024);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + i / 4096);
    spec.Sections = {{0, 0, std::move(data)}};
    const LoadResult loaded = LoadPackageImage(WritePackage(spec));
    if (!loaded.Accepted) {
        std::cerr << loaded.Message << '\n';
        return 1;
    }

    std::printf("flash --all --emulate N, 1 MiB package (512 blocks), each radio restarting into boot mode\n");
    std::printf("  radios   wall s   ratio to 1   CPU s   CPU s per radio\n");
    double one = 0;
    double eight = 0;
    bool ok = true;
    for (std::size_t n : {1, 4, 8}) {
        const CrateTime t = RunCrate(loaded.Accepted, n, false);
        ok = ok && t.AllCompleted;
        if (n == 1) one = t.Wall;
        if (n == 8) eight = t.Wall;
        std::printf("  %6zu  %7.2f  %11.3f  %6.2f  %16.3f%s\n", n, t.Wall, t.Wall / one, t.Cpu, t.Cpu / n,
                    t.AllCompleted ? "" : "   (not all completed)");
    }
    std::printf("  ratio 8 radios / 1 radio: %.3f (goal <= 1.05)\n", eight / one);

    const CrateTime stalled = RunCrate(loaded.Accepted, 8, true);
    ok = ok && stalled.AllCompleted;
    std::printf("  8 radios, one stalling 2 s on every 40th read: that one %.2f s, the slowest other %.2f s "
                "(%.3f x the lone radio)\n",
                stalled.Wall, stalled.SlowestHealthy, stalled.SlowestHealthy / one);
    return ok ? 0 : 1;
}
