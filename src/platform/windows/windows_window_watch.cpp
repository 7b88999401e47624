// A window's notices of USB devices on Windows: the window registers for device
// notifications, and every message of its procedure is asked whether it is one.
#include <windows.h>

#include "platform/platform.h"
#include "platform/windows/windows_usb_watch.h"

namespace quenfall {

namespace {

class MessageWindowWatch final : public WindowDeviceWatch {
public:
    MessageWindowWatch(HWND window, std::function<void()> changed) : window_(window), changed_(std::move(changed)) {}

    int EventDescriptor() const override { return -1; }
    void Dispatch() override {}
    void TakeNativeMessage(std::string_view eventType, const void* message) override {
        if (eventType != "windows_generic_MSG") return;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->hwnd == window_ && IsUsbDeviceChangeMessage(msg->message, msg->wParam, msg->lParam)) changed_();
    }

private:
    HWND window_;
    std::function<void()> changed_;
};

}  // namespace

WindowDeviceWatchStart WatchWindowDevices(const std::function<void*()>& nativeWindow, std::function<void()> changed) {
    const HWND handle = static_cast<HWND>(nativeWindow());
    const DeviceWatchRegistration registered = RegisterUsbDeviceWatch(handle);
    WindowDeviceWatchStart start;
    if (registered.Handle == nullptr) {
        start.ErrorText = registered.ErrorText;
        return start;
    }
    // The notification handle is never given back: the registration lasts as long as the
    // window, which lasts as long as the program.
    start.Watch = std::make_unique<MessageWindowWatch>(handle, std::move(changed));
    return start;
}

}  // namespace quenfall
