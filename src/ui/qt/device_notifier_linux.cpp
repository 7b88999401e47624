#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>

#include "link/linux/linux_usb_watch.h"
#include "ui/qt/device_notifier.h"

namespace quenfall::ui {
namespace {

// The udev monitor's socket, read on the window's thread whenever it has events.
class UdevNotifier : public DeviceNotifier {
public:
    explicit UdevNotifier(std::function<void()> changed) : monitor_(std::move(changed)) {}

    bool Start() {
        if (!monitor_.IsWatching()) return false;
        notifier_ = std::make_unique<QSocketNotifier>(monitor_.Fd(), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { monitor_.Dispatch(); });
        return true;
    }

private:
    LinuxUsbWatch monitor_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace

DeviceRegistration RegisterDeviceWatch(QWidget& /*window: the socket needs none*/, std::function<void()> changed) {
    errno = 0;
    auto notifier = std::make_unique<UdevNotifier>(std::move(changed));
    const int error = errno;
    DeviceRegistration registration;
    if (notifier->Start()) {
        registration.Notifier = std::move(notifier);
    } else {
        // udev leaves the reason in errno; a failure that left none still shows a number.
        registration.ErrorText = std::to_string(error != 0 ? error : ENODEV);
    }
    return registration;
}

}  // namespace quenfall::ui
