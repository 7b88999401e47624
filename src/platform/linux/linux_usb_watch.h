#pragma once
// Tells when a USB device or a whole disk arrives or leaves (link/usb_watch_filter.h), from
// udev's event stream. It has no thread: the owner watches Fd() for readability (a
// QSocketNotifier in the window, poll(2) in the command line) and calls Dispatch() on its
// own thread, which runs onChange once for each such arrival or removal since the last call.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct udev;
struct udev_monitor;

namespace quenfall {

class LinuxUsbWatch {
public:
    // With a location, only the USB device there counts (see LocationFromDevPath).
    explicit LinuxUsbWatch(std::function<void()> onChange, std::string location = {});
    ~LinuxUsbWatch();
    LinuxUsbWatch(const LinuxUsbWatch&) = delete;
    LinuxUsbWatch& operator=(const LinuxUsbWatch&) = delete;

    // False when the event stream could not be opened; the monitor then never reports
    // anything and Fd() is -1.
    bool IsWatching() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // Reads every pending event without blocking; returns how many reached onChange.
    int Dispatch();

private:
    std::function<void()> onChange_;
    std::string location_;
    udev* context_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    int fd_ = -1;
};

}  // namespace quenfall
