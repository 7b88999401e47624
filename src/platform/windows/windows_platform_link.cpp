// The Windows binding of link/platform_link.h: which Windows link a program gets. A program
// already running as administrator (a quenfall-cli started from an elevated prompt) commands
// the drive itself; every other one scans as the user and sends the commands through
// quenfall-radio-helper.exe, started elevated at its first open and shared by all its links.
#include <memory>

#include "platform/platform.h"
#include "helper/client/windows/elevated_helper_start.h"
#include "helper/client/windows/helper_drive_link.h"
#include "helper/client/windows/shared_radio_helper.h"
#include "platform/windows/storage_query.h"
#include "platform/windows/windows_device_link.h"
#include "platform/removable_disk_names.h"

namespace quenfall {

WindowsDriveSystem RealWindowsDriveSystem() {
    WindowsDriveSystem system;
    system.ScanRadios = [] {
        WindowsDeviceLink scan;
        scan.ScanDrives();
        return scan.ListedDrives();
    };
    system.OpenHelperChannel = [shared = helper::ProgramRadioHelper()] { return shared->OpenChannel(); };
    return system;
}

std::string RemovableDiskName(std::size_t index) { return DriveLetterName(index); }

std::unique_ptr<PlatformDeviceLink> MakePlatformDeviceLink() {
    if (ProcessIsElevated()) return std::make_unique<WindowsDeviceLink>();
    return std::make_unique<HelperDriveLink>(RealWindowsDriveSystem());
}

// Device notifications go to windows only (link/windows/windows_usb_watch.h); a program
// without one learns of a restarted radio by scanning again.
std::function<int()> MakeUsbEventCounter(const std::string&) { return {}; }

}  // namespace quenfall
