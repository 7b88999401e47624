#include "platform/linux/linux_usb_watch.h"

#include <libudev.h>

#include <utility>

#include "platform/drive_location.h"
#include "platform/usb_watch_filter.h"

namespace quenfall {

namespace {

std::string_view Text(const char* value) { return value ? std::string_view(value) : std::string_view(); }

}  // namespace

LinuxUsbWatch::LinuxUsbWatch(std::function<void()> onChange, std::string location)
    : onChange_(std::move(onChange)), location_(std::move(location)) {
    // A drive's location may name a logical unit; the USB device is the part before it.
    location_ = location_.substr(0, location_.find('/'));
    context_ = udev_new();
    if (!context_) return;
    // "udev": events after udevd has processed them, so the drive's node and attributes are
    // in place when the device watch rescans.
    monitor_ = udev_monitor_new_from_netlink(context_, "udev");
    if (!monitor_) return;
    // The kernel-side filter keeps interface and partition events from waking us up; the
    // action is checked in Dispatch.
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", "disk") < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        return;
    }
    fd_ = udev_monitor_get_fd(monitor_);
}

LinuxUsbWatch::~LinuxUsbWatch() {
    if (monitor_) udev_monitor_unref(monitor_);
    if (context_) udev_unref(context_);
}

int LinuxUsbWatch::Dispatch() {
    if (fd_ < 0) return 0;
    int reported = 0;
    // The monitor's socket is non-blocking: receive returns null once the queue is empty.
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        // A disk's path runs through its USB device's, so both kinds of event carry the
        // radio's location.
        const bool matches =
            IsWatchedArrivalOrRemoval(Text(udev_device_get_subsystem(device)),
                                      Text(udev_device_get_devtype(device)),
                                      Text(udev_device_get_action(device))) &&
            (location_.empty() || LocationFromDevPath(Text(udev_device_get_devpath(device))) == location_);
        udev_device_unref(device);
        if (matches) {
            ++reported;
            if (onChange_) onChange_();
        }
    }
    return reported;
}

}  // namespace quenfall
