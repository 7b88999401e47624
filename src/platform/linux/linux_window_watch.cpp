// A window's notices of USB devices on Linux: udev's monitor, whose descriptor the window's
// event loop watches.
#include <cerrno>

#include "platform/linux/linux_usb_watch.h"
#include "platform/platform.h"

namespace quenfall {

namespace {

class UdevWindowWatch final : public WindowDeviceWatch {
public:
    explicit UdevWindowWatch(std::function<void()> changed) : monitor_(std::move(changed)) {}

    bool IsWatching() const { return monitor_.IsWatching(); }
    int EventDescriptor() const override { return monitor_.Fd(); }
    void Dispatch() override { monitor_.Dispatch(); }
    void TakeNativeMessage(std::string_view, const void*) override {}

private:
    LinuxUsbWatch monitor_;
};

}  // namespace

WindowDeviceWatchStart WatchWindowDevices(const std::function<void*()>& /*the socket needs no window*/,
                                          std::function<void()> changed) {
    errno = 0;
    auto watch = std::make_unique<UdevWindowWatch>(std::move(changed));
    const int error = errno;
    WindowDeviceWatchStart start;
    if (watch->IsWatching()) {
        start.Watch = std::move(watch);
    } else {
        // udev leaves the reason in errno; a failure that left none still shows a number.
        start.ErrorText = std::to_string(error != 0 ? error : ENODEV);
    }
    return start;
}

}  // namespace quenfall
