#include "window/start_options.h"

namespace quenfall::window {

StartOptions ReadStartOptions(std::span<const std::u16string> arguments,
                              std::optional<std::u16string_view> emulateVariable) {
    StartOptions options;
    options.Emulate = emulateVariable && !emulateVariable->empty() && *emulateVariable != u"0";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == u"--emulate") {
            options.Emulate = true;
        } else if (arguments[i] == u"--exit-when-shown") {
            options.ExitWhenShown = true;
        } else if (arguments[i] == u"--screenshot" && i + 1 < arguments.size()) {
            options.ScreenshotFile = arguments[++i];
        }
    }
    return options;
}

}  // namespace quenfall::window
