// One whole upgrade in real time over any DeviceLink: the sequencer and the device watch on
// the real-time timer loop.
#include <optional>

#include "cli/flash_command.h"
#include "cli/realtime_timers.h"
#include "upgrade/device_watch.h"
#include "upgrade/status_texts.h"

namespace quenfall::cli {

namespace {

bool AnySequencerTimerOn(const TimerBank& timers) {
    for (TimerId id : SequencerTimers)
        if (timers.IsOn(id)) return true;
    return false;
}

}  // namespace

int FlashPackage(std::shared_ptr<const Package> package, DeviceLink& link, FlashView& view,
                 const FlashOptions& options) {
    RealtimeTimers timers;
    UpgradeSequencer sequencer(link, view, timers);
    DeviceWatch watch(link, view, timers, sequencer);
    const TimerDispatch dispatch(sequencer, watch);
    timers.SetDispatch(dispatch);
    sequencer.SetTrace(options.Trace);

    sequencer.Button2Click(std::move(package));

    std::optional<RealtimeTimers::Clock::time_point> waitingSince;
    bool gaveUp = false;
    while (AnySequencerTimerOn(timers)) {
        if (timers.IsOn(TimerId::EnterModeSure)) {
            const auto now = RealtimeTimers::Clock::now();
            if (!waitingSince) waitingSince = now;
            if (now - *waitingSince > options.RestartGiveUp) {
                gaveUp = true;
                break;
            }
        } else {
            waitingSince.reset();
        }
        if (!timers.Step()) break;
        if (options.TakeUsbEvents) {
            for (int n = options.TakeUsbEvents(); n > 0; --n) watch.OnUsbDeviceChanged();
        }
    }
    view.Finish();
    if (gaveUp) {
        view.ShowError(RadioDidNotReturnText, ErrorCaption);
        return 1;
    }
    return view.Completed() && !sequencer.Busy() ? 0 : 1;
}

}  // namespace quenfall::cli
