#pragma once
// The radio's drive on Windows for a program that runs as the user: the scan is its own
// (scanning and the storage query need no rights); the vendor commands go through
// quenfall-radio-helper.exe, started elevated at the program's first open, not before, and
// kept for every later upgrade: one elevation prompt per program, however many links it
// makes (a crate of radios is one link per radio). Each link talks to the helper over a
// connection of its own. Every call into the system goes through WindowsDriveSystem, so
// that tests fake the drives and the helper.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "helper/client/helper_connection.h"
#include "platform/platform.h"

namespace quenfall {

struct WindowsDriveSystem {
    // The radios among the drive letters, with their locations.
    std::function<std::vector<RadioDrive>()> ScanRadios;
    // A connection of this link's own to the program's helper (SharedRadioHelper), which
    // starts it when none runs (elevation prompt, pipe, greeting).
    std::function<helper::HelperStart()> OpenHelperChannel;
};

// The real scan and the program's one real helper (quenfall-radio-helper.exe beside the
// program).
WindowsDriveSystem RealWindowsDriveSystem();

// Plain words for what stops the commands, told at the Upgrade click.
std::string HelperNotStartedAdvice(const std::string& why);
std::string HelperEndedAdvice();

class HelperDriveLink final : public PlatformDeviceLink {
public:
    explicit HelperDriveLink(WindowsDriveSystem system);

    std::uint16_t ScanDrives() override;
    OpenResult OpenDevice() override;
    OpenResult OpenListedDrive(std::size_t index) override;
    std::vector<RadioDrive> ListedDrives() const override { return drives_; }
    // Nothing is known before the helper starts, and it starts only at the first open.
    std::string PermissionProblem() const override { return {}; }

private:
    WindowsDriveSystem system_;
    std::vector<RadioDrive> drives_;
    std::shared_ptr<helper::HelperConnection> helper_;
};

}  // namespace quenfall
