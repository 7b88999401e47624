#pragma once
// The radio behind --emulate: an emulated radio that follows the model of the package
// loaded last, so any valid package can be tried out without hardware. Its comings and
// goings (the restart into boot mode, unplugging) reach the window as USB notices. The face
// supplies how to run something later on the window's thread, and calls Advance now and
// then, since the radio only comes back on the bus when something calls it.
#include <functional>
#include <memory>

#include "package/package.h"
#include "radio/emulated_radio.h"
#include "upgrade/device_link.h"

namespace quenfall::window {

class FlashWindow;

class EmulatedRadioLink : public DeviceLink {
public:
    // Runs a task on the window's thread once the current handler has returned.
    using Post = std::function<void(std::function<void()>)>;
    explicit EmulatedRadioLink(Post post);

    std::uint16_t ScanDrives() override;
    OpenResult OpenDevice() override;

    // Becomes a radio of the package's model. A channel opened earlier stays usable.
    void Adopt(const Package& package);
    // Called, through Post and never from inside a radio call, for each arrival and removal.
    void SetPresenceCallback(std::function<void()> callback);
    // Lets the radio's time pass (its return to the bus after a restart).
    void Advance();
    EmulatedRadio& Radio() { return *radio_; }

    // Feeds the radio's comings and goings to window's device watch, and follows the model
    // of every package window accepts.
    void AttachTo(FlashWindow& window);

    // How often a face should call Advance.
    static constexpr int AdvanceIntervalMs = 50;

private:
    void Rebuild(const ProfileSelection& selection);

    Post post_;
    std::unique_ptr<EmulatedRadio> radio_;
    ProfileSelection selection_;
    std::shared_ptr<std::function<void()>> presenceChanged_;
};

}  // namespace quenfall::window
