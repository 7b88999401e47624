// The Windows binding of link/platform_link.h.
#include "link/platform_link.h"
#include "link/windows/windows_device_link.h"

namespace quenfall {

std::unique_ptr<PlatformDeviceLink> MakePlatformDeviceLink() {
    return std::make_unique<WindowsDeviceLink>();
}

// Device notifications go to windows only (link/windows/windows_usb_watch.h); a program
// without one learns of a restarted radio by scanning again.
std::function<int()> MakeUsbEventCounter(const std::string&) { return {}; }

}  // namespace quenfall
