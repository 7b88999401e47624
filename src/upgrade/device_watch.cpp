#include "upgrade/device_watch.h"

#include "upgrade/status_texts.h"

namespace quenfall {

DeviceWatch::DeviceWatch(DeviceLink& link, UpgradeView& view, TimerBank& timers,
                         UpgradeSequencer& sequencer)
    : link_(link), view_(view), timers_(timers), sequencer_(sequencer) {}

void DeviceWatch::OnUsbDeviceChanged() {
    // The scan refreshes the link's drive list at once; its count is not needed until the
    // report.
    link_.ScanDrives();
    timers_.SwitchOn(TimerId::Connect);
}

void DeviceWatch::ConnectTimerTimer() {
    const std::uint16_t found = link_.ScanDrives();
    timers_.SwitchOff(TimerId::Connect);
    if (found != 0) {
        view_.SetSuccessIconVisible(false);
        view_.SetFailureIconVisible(false);
        view_.SetStatusText(DeviceConnectedText);
        return;
    }
    // Whether an upload was under way decides the text, also when losing the radio ends it.
    const bool uploading = sequencer_.Busy();
    sequencer_.RadioLost();
    if (uploading) {
        view_.SetStatusText(UpgradeFailedText);
        view_.SetFailureIconVisible(true);
    } else {
        view_.SetStatusText(NoDeviceText);
    }
}

}  // namespace quenfall
