#pragma once
// The platform's notices of USB devices arriving and leaving (WatchWindowDevices,
// platform/platform.h), delivered on the window's thread: through a socket notifier where
// the platform gives a descriptor (Linux: udev's monitor), through a native event filter
// where they come as the window's messages (Windows: WM_DEVICECHANGE).
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace quenfall::ui {

// Alive for as long as notices should come. Nothing withdraws the registration before the
// program ends, so the window keeps it until it is destroyed.
class DeviceNotifier {
public:
    virtual ~DeviceNotifier() = default;
};

struct DeviceRegistration {
    std::unique_ptr<DeviceNotifier> Notifier;  // null when the registration failed
    std::string ErrorText;                     // on failure: the system's error number
};

// Registers window (its native handle is created if need be) for USB arrivals and removals;
// changed runs once for each, on the window's thread.
using RegisterDeviceWatchFunction =
    std::function<DeviceRegistration(QWidget& window, std::function<void()> changed)>;

DeviceRegistration RegisterDeviceWatch(QWidget& window, std::function<void()> changed);

}  // namespace quenfall::ui
