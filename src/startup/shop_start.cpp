#include "startup/shop_start.h"

#include <stdexcept>

#include "link/platform_link.h"

namespace quenfall::startup {

ShopStart::ShopStart(const window::StartOptions& options, window::ShopFace& face, std::u16string title,
                     std::filesystem::path history)
    : history_(std::move(history)) {
    if (options.Emulate) {
        // The model of the first package loaded; the crate takes each package's own.
        source_ = std::make_unique<EmulatedRadioSource>(options.EmulatedRadios, ProfileSelection{});
    } else {
        // Shown by the default error display rather than used as a link that is not there.
        if (!MakePlatformDeviceLink()) throw std::runtime_error("this system has no link to the radio; only --emulate works here");
        source_ = std::make_unique<PlatformRadioSource>(
            [] { return std::unique_ptr<DriveListLink>(MakePlatformDeviceLink()); },
            [](const std::string& location) { return MakeUsbEventCounter(location); });
    }
    window_ = std::make_unique<window::ShopWindow>(*source_, face, history_, std::move(title));
    if (auto package = window::StartPackage(options)) window_->SetStartPackage(std::move(*package));
}

}  // namespace quenfall::startup
