#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QWidget>

#include "link/windows/windows_usb_watch.h"
#include "ui/qt/device_notifier.h"

namespace quenfall::ui {
namespace {

// Sees every message of the window's procedure before Qt's own handling, which then runs
// as usual: nothing is swallowed.
class WindowsDeviceNotifier : public DeviceNotifier, public QAbstractNativeEventFilter {
public:
    WindowsDeviceNotifier(HWND window, std::function<void()> changed)
        : window_(window), changed_(std::move(changed)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~WindowsDeviceNotifier() override {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->removeNativeEventFilter(this);
        }
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "windows_generic_MSG") return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->hwnd == window_ && IsUsbDeviceChangeMessage(msg->message, msg->wParam, msg->lParam)) {
            changed_();
        }
        return false;
    }

private:
    HWND window_;
    std::function<void()> changed_;
};

}  // namespace

DeviceRegistration RegisterDeviceWatch(QWidget& window, std::function<void()> changed) {
    // winId() creates the native window if it does not exist yet.
    const HWND handle = reinterpret_cast<HWND>(window.winId());
    const DeviceWatchRegistration registered = RegisterUsbDeviceWatch(handle);
    DeviceRegistration registration;
    if (registered.Handle == nullptr) {
        registration.ErrorText = registered.ErrorText;
        return registration;
    }
    // The notification handle is never given back: the registration lasts as long as the
    // window, which lasts as long as the program.
    registration.Notifier = std::make_unique<WindowsDeviceNotifier>(handle, std::move(changed));
    return registration;
}

}  // namespace quenfall::ui
