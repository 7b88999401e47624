#include "ui/qt/device_notifier.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <string_view>

#include "platform/platform.h"

namespace quenfall::ui {
namespace {

// The platform's watch, fed from Qt's event loop: its descriptor through a socket
// notifier, or the window's native messages through a filter that sees each one before
// Qt's own handling, which then runs as usual (nothing is swallowed).
class PlatformDeviceNotifier : public DeviceNotifier, public QAbstractNativeEventFilter {
public:
    explicit PlatformDeviceNotifier(std::unique_ptr<WindowDeviceWatch> watch) : watch_(std::move(watch)) {
        if (watch_->EventDescriptor() >= 0) {
            socket_ = std::make_unique<QSocketNotifier>(watch_->EventDescriptor(), QSocketNotifier::Read);
            QObject::connect(socket_.get(), &QSocketNotifier::activated, socket_.get(), [this] { watch_->Dispatch(); });
        } else {
            QCoreApplication::instance()->installNativeEventFilter(this);
            filtering_ = true;
        }
    }
    ~PlatformDeviceNotifier() override {
        if (filtering_ && QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->removeNativeEventFilter(this);
        }
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        watch_->TakeNativeMessage(std::string_view(eventType.constData(), static_cast<std::size_t>(eventType.size())),
                                  message);
        return false;
    }

private:
    std::unique_ptr<WindowDeviceWatch> watch_;
    std::unique_ptr<QSocketNotifier> socket_;
    bool filtering_ = false;
};

}  // namespace

DeviceRegistration RegisterDeviceWatch(QWidget& window, std::function<void()> changed) {
    // winId() creates the native window if it does not exist yet; only a platform whose
    // notices come as window messages asks for it.
    WindowDeviceWatchStart started =
        WatchWindowDevices([&window] { return reinterpret_cast<void*>(window.winId()); }, std::move(changed));
    DeviceRegistration registration;
    if (!started.Watch) {
        registration.ErrorText = started.ErrorText;
        return registration;
    }
    registration.Notifier = std::make_unique<PlatformDeviceNotifier>(std::move(started.Watch));
    return registration;
}

}  // namespace quenfall::ui
