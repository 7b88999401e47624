// One whole upgrade in real time over any DeviceLink: the sequencer and the device watch on
// the real-time timer loop.
#include <optional>

#include "runs/flash_package.h"
#include "upgrade/realtime_timers.h"
#include "upgrade/device_watch.h"
#include "upgrade/status_texts.h"
#include "upgrade/traced_link.h"
#include "upgrade/time_left.h"
#include "upgrade/upload_plan.h"

namespace quenfall {

int FlashPackage(std::shared_ptr<const Package> package, DeviceLink& link, FlashView& view,
                 const FlashOptions& options) {
    RealtimeTimers timers;
    // With a trace, the scans go through a link that records the radio leaving and coming
    // back, so that a trace holds the restart.
    std::optional<TracedLink> traced;
    if (options.Trace != nullptr) traced.emplace(link, *options.Trace);
    DeviceLink& scanned = traced ? static_cast<DeviceLink&>(*traced) : link;
    UpgradeSequencer sequencer(scanned, view, timers);
    DeviceWatch watch(scanned, view, timers, sequencer);
    const TimerDispatch dispatch(sequencer, watch);
    timers.SetDispatch(dispatch);
    sequencer.SetTrace(options.Trace);

    const std::int32_t blocksTotal = package ? PlanUpload(package->Header, package->Selection.ScrambleMode).SentBlocks : 0;
    TimeLeftEstimator estimator;
    RunProgress shown;
    // Looked at after every firing, which the loop wakes for anyway; told only when what it
    // shows has changed.
    const auto look = [&](RunPhase phase) {
        RunProgress now = EstimateRun(estimator, phase, sequencer.State().BlocksDone, blocksTotal,
                                      TimeLeftEstimator::Clock::now());
        if (phase == RunPhase::Ended && view.Completed() && !sequencer.Busy()) now.Percent = 100;
        if (ShownAlike(now, shown)) return;
        shown = now;
        view.RunProgressChanged(now);
    };

    // Stopped before it began: nothing is sent.
    if (options.StopRequested && options.StopRequested()) {
        view.Finish();
        if (options.Stopped != nullptr) *options.Stopped = true;
        return 1;
    }
    sequencer.Button2Click(std::move(package));
    if (AnySequencerTimerOn(timers)) look(PhaseOf(timers));

    std::optional<RealtimeTimers::Clock::time_point> waitingSince;
    bool gaveUp = false;
    bool stopped = false;
    while (AnySequencerTimerOn(timers)) {
        if (options.StopRequested && options.StopRequested()) {
            sequencer.Stop();
            stopped = true;
            break;
        }
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
        if (AnySequencerTimerOn(timers)) look(PhaseOf(timers));
    }
    look(RunPhase::Ended);
    view.Finish();
    if (options.Stopped != nullptr) *options.Stopped = stopped;
    if (options.LastNonGood != nullptr) *options.LastNonGood = sequencer.LastNonGoodOutcomeText();
    if (gaveUp) {
        view.ShowError(RadioDidNotReturnText, ErrorCaption);
        return 1;
    }
    return view.Completed() && !sequencer.Busy() ? 0 : 1;
}

}  // namespace quenfall
