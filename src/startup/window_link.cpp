#include "startup/window_link.h"

#include <stdexcept>

#include "link/platform_link.h"

namespace quenfall::startup {

void Attach(EmulatedRadioLink& radio, window::FlashWindow& window) {
    radio.SetPresenceCallback([&window] { window.UsbDeviceChanged(); });
    window.OnPackageAccepted([&radio](const std::shared_ptr<const Package>& package) { radio.Adopt(*package); });
}

WindowLink::WindowLink(const window::StartOptions& options, EmulatedRadioLink::Post post)
    : startPackage_(window::StartPackage(options)) {
    if (options.Emulate) {
        auto emulated = std::make_unique<EmulatedRadioLink>(std::move(post));
        emulated_ = emulated.get();
        link_ = std::move(emulated);
        history_ = std::make_unique<WindowHistory>(nullptr, true, "quenfall");
        return;
    }
    std::unique_ptr<PlatformDeviceLink> platform = MakePlatformDeviceLink();
    // Shown by the default error display rather than used as a link that is not there.
    if (!platform) throw std::runtime_error("this system has no link to the radio; only --emulate works here");
    history_ = std::make_unique<WindowHistory>(platform.get(), false, "quenfall");
    link_ = std::move(platform);
}

void WindowLink::Attach(window::FlashWindow& window) {
    window.SetRunObserver(history_.get());
    if (startPackage_) window.SetStartPackage(*startPackage_);
    if (emulated_ != nullptr) startup::Attach(*emulated_, window);
}

}  // namespace quenfall::startup
