#pragma once
// The link the window talks through, chosen at start-up from the start options: the
// platform's radio link, or the emulated radio of --emulate. The window's decisions know
// neither; both faces' entries wire the chosen one in here, the same way.
#include <memory>

#include "emulator/emulated_radio_link.h"
#include "startup/window_history.h"
#include "upgrade/device_link.h"
#include "window/flash_window.h"
#include "window/start_options.h"

namespace quenfall::startup {

// Feeds the emulated radio's comings and goings to the window's device watch, and makes the
// radio follow the model of every package the window accepts.
void Attach(EmulatedRadioLink& radio, window::FlashWindow& window);

class WindowLink {
public:
    // post: runs a task on the window's thread later (the emulated radio's notices).
    WindowLink(const window::StartOptions& options, EmulatedRadioLink::Post post);

    DeviceLink& Link() { return *link_; }
    // The window registers for the platform's USB notices unless the emulated radio reports
    // its own comings and goings.
    bool WantsUsbWatch() const { return emulated_ == nullptr; }
    // The emulated radio, if that is the link: the face lets its time pass every
    // EmulatedRadioLink::AdvanceIntervalMs.
    EmulatedRadioLink* Emulated() const { return emulated_; }
    // Wires the link to the window once it exists, the window's runs to the history, and
    // hands it the command line's package to load as it is first shown.
    void Attach(window::FlashWindow& window);

private:
    std::unique_ptr<DeviceLink> link_;
    EmulatedRadioLink* emulated_ = nullptr;
    std::unique_ptr<WindowHistory> history_;
    std::optional<window::ChosenFile> startPackage_;
};

}  // namespace quenfall::startup
