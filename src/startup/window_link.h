#pragma once
// The link the window talks through, chosen at start-up from the start options: the
// platform's radio link, or the emulated radio of --emulate (startup/radio_choice.h). The
// window's decisions know neither; both faces' entries wire the chosen one in here, the
// same way.
#include <functional>
#include <memory>
#include <optional>

#include "startup/radio_choice.h"
#include "startup/window_history.h"
#include "upgrade/device_link.h"
#include "window/flash_window.h"
#include "window/start_options.h"

namespace quenfall::startup {

// Wires radio to window: the radio's own comings and goings feed the window's device watch,
// and it follows the model of every package the window accepts. radio outlives window.
void Attach(WindowRadio& radio, window::FlashWindow& window);

class WindowLink {
public:
    // How often a face calls Advance, when there is one.
    static constexpr int AdvanceIntervalMs = WindowRadio::AdvanceIntervalMs;

    // post: runs a task on the window's thread later (an emulated radio's notices).
    WindowLink(const window::StartOptions& options, WindowRadio::Post post);

    DeviceLink& Link() { return radio_->Link(); }
    // The window registers for the platform's USB notices unless the radio reports its own
    // comings and goings.
    bool WantsUsbWatch() const { return radio_->WantsUsbWatch(); }
    // Lets the radio's time pass, for a radio that lives in this process: the face calls it
    // every AdvanceIntervalMs. Empty otherwise.
    std::function<void()> Advance() { return radio_->Advance(); }
    // Wires the link to the window once it exists, the window's runs to the history, and
    // hands it the command line's package to load as it is first shown.
    void Attach(window::FlashWindow& window);

private:
    std::unique_ptr<WindowRadio> radio_;
    std::unique_ptr<WindowHistory> history_;
    std::optional<window::ChosenFile> startPackage_;
};

}  // namespace quenfall::startup
