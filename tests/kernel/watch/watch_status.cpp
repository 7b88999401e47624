// watch-status SECONDS: the window's device watch on this machine's real radio link and
// udev event stream, wired as the window wires it (DeviceWatch on the platform's event
// counter, its report on a real-time one-second timer), for SECONDS. It prints a line for
// every event the watch is told of and every status text it shows, each stamped with
// CLOCK_MONOTONIC (the clock of the kernel's own messages, near enough), so that a test can
// line them up with the kernel's USB and disk arrivals.
//   watching             the event stream is open: plug the device in now
//   T event              an arrival or removal reached the watch
//   T status TEXT        the status line now reads TEXT (blanks kept)
// Exit: 0 after SECONDS, 2 when the platform has no link or no event stream.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "upgrade/realtime_timers.h"
#include "platform/platform.h"
#include "upgrade/device_watch.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/upgrade_view.h"

namespace {

using namespace quenfall;

double Monotonic() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void Say(std::string_view what) {
    std::printf("%.3f %.*s\n", Monotonic(), static_cast<int>(what.size()), what.data());
    std::fflush(stdout);
}

// Only the status line matters here; nothing is uploaded, so the rest stays silent.
class StatusLinePrinter : public UpgradeView {
public:
    void SetStatusText(std::string_view text) override { Say("status " + std::string(text)); }
    void SetProgressWidth(int) override {}
    void SetSuccessIconVisible(bool) override {}
    void SetFailureIconVisible(bool) override {}
    void ShowInfo(std::string_view text) override { Say("info " + std::string(text)); }
    void ShowError(std::string_view text, std::string_view) override { Say("error " + std::string(text)); }
    void Pause(std::chrono::milliseconds) override {}
};

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc == 2 ? std::atoi(argv[1]) : 0;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: watch-status SECONDS\n");
        return 2;
    }
    std::unique_ptr<PlatformDeviceLink> link = MakePlatformDeviceLink();
    if (!link) {
        std::fprintf(stderr, "watch-status: this platform has no radio link\n");
        return 2;
    }
    const std::function<int()> takeEvents = MakeUsbEventCounter();
    if (!takeEvents) {
        std::fprintf(stderr, "watch-status: udev's event stream cannot be opened\n");
        return 2;
    }
    StatusLinePrinter view;
    RealtimeTimers timers;
    UpgradeSequencer sequencer(*link, view, timers);
    DeviceWatch watch(*link, view, timers, sequencer);
    timers.SetDispatch(TimerDispatch(sequencer, watch));
    std::puts("watching");
    std::fflush(stdout);

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        for (int n = takeEvents(); n > 0; --n) {
            Say("event");
            watch.OnUsbDeviceChanged();
        }
        // The report is the only timer here; events that come while it is pending are
        // taken after it, as the command line's loop takes them.
        if (timers.IsOn(TimerId::Connect)) {
            timers.Step();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return 0;
}
