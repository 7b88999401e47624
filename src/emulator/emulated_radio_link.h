#pragma once
// The radio behind --emulate: an emulated radio that follows the model of the package
// loaded last, so any valid package can be tried out without hardware. Its comings and
// goings (the restart into boot mode, unplugging) are reported as USB notices. The owner
// supplies how to run something later on the window's thread, and calls Advance now and
// then, since the radio only comes back on the bus when something calls it. Start-up wires
// it to the window like any other link (startup/window_link.h).
#include <chrono>
#include <functional>
#include <memory>

#include "package/package.h"
#include "emulator/emulated_radio.h"
#include "upgrade/device_link.h"

namespace quenfall {

class EmulatedRadioLink : public DeviceLink {
public:
    // Runs a task on the window's thread once the current handler has returned.
    using Post = std::function<void(std::function<void()>)>;
    // now: the clock the radio's comings and goings are timed by; steady_clock when empty.
    explicit EmulatedRadioLink(Post post, std::function<std::chrono::milliseconds()> now = {});

    std::uint16_t ScanDrives() override;
    OpenResult OpenDevice() override;

    // Becomes a radio of the package's model. A channel opened earlier stays usable.
    void Adopt(const Package& package);
    // Called, through Post and never from inside a radio call, for each arrival and removal.
    void SetPresenceCallback(std::function<void()> callback);
    // Lets the radio's time pass (its return to the bus after a restart).
    void Advance();
    EmulatedRadio& Radio() { return *radio_; }

    // How often the owner should call Advance.
    static constexpr int AdvanceIntervalMs = 50;

private:
    void Rebuild(const ProfileSelection& selection);

    Post post_;
    std::function<std::chrono::milliseconds()> now_;
    std::unique_ptr<EmulatedRadio> radio_;
    ProfileSelection selection_;
    std::shared_ptr<std::function<void()>> presenceChanged_;
};

}  // namespace quenfall
