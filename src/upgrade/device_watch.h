#pragma once
// The platform-free half of the device watch. The platform code (libudev monitor, the
// window's device notifications) only calls OnUsbDeviceChanged, on the window's thread,
// once for each arrival and each completed removal of a USB device, and nothing for other
// events. One second after the first of a burst of such events the watch reports in the
// status line whether the radio is there.
#include "upgrade/device_link.h"
#include "upgrade/timer_bank.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/upgrade_view.h"

namespace quenfall {

class DeviceWatch {
public:
    DeviceWatch(DeviceLink& link, UpgradeView& view, TimerBank& timers,
                UpgradeSequencer& sequencer);

    // A USB device arrived or left: rescan now, report when ConnectTimer fires. Events
    // while the report is pending rescan but do not postpone it.
    void OnUsbDeviceChanged();
    // The one-shot report, handler of ConnectTimer.
    void ConnectTimerTimer();

private:
    DeviceLink& link_;
    UpgradeView& view_;
    TimerBank& timers_;
    UpgradeSequencer& sequencer_;
};

// Routes a firing to its handler: the six sequencer timers to the sequencer, ConnectTimer
// to the watch. The window, the command line and the tests share it.
class TimerDispatch {
public:
    TimerDispatch(UpgradeSequencer& sequencer, DeviceWatch& watch)
        : sequencer_(sequencer), watch_(watch) {}
    void operator()(TimerId id) const {
        if (id == TimerId::Connect) {
            watch_.ConnectTimerTimer();
        } else {
            sequencer_.OnTimer(id);
        }
    }

private:
    UpgradeSequencer& sequencer_;
    DeviceWatch& watch_;
};

}  // namespace quenfall
