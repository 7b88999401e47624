#include "startup/window_link.h"

#include <stdexcept>

namespace quenfall::startup {

void Attach(WindowRadio& radio, window::FlashWindow& window) {
    radio.OnPresence([&window] { window.UsbDeviceChanged(); });
    window.OnPackageAccepted([&radio](const std::shared_ptr<const Package>& package) { radio.Adopt(*package); });
}

WindowLink::WindowLink(const window::StartOptions& options, WindowRadio::Post post)
    : startPackage_(window::StartPackage(options)) {
    RadioRequest request;
    request.Emulate = options.Emulate;
    const std::unique_ptr<Radios> radios = ChooseRadios(request);
    radio_ = radios->ForWindow(std::move(post));
    // Shown by the default error display rather than used as a link that is not there.
    if (!radio_) throw std::runtime_error("this system has no link to the radio; only --emulate works here");
    history_ = std::make_unique<WindowHistory>(radio_->Drives(), radios->Emulated(), "quenfall");
}

void WindowLink::Attach(window::FlashWindow& window) {
    window.SetRunObserver(history_.get());
    if (startPackage_) window.SetStartPackage(*startPackage_);
    startup::Attach(*radio_, window);
}

}  // namespace quenfall::startup
