// flash FILE without --emulate: the first radio the platform's link finds. What would stop
// the run before the first frame (no radio, no right to command it) is said here, before
// anything is sent.
#include <string>
#include <utility>

#include "cli/platform_link.h"
#include "link/platform_link.h"

namespace quenfall::cli {

PlatformLink OpenPlatformLink(std::string& why) {
    std::unique_ptr<PlatformDeviceLink> link = MakePlatformDeviceLink();
    if (!link) {
        why = "this build of quenfall-cli has no link to real radios; use --emulate";
        return {};
    }
    if (link->ScanDrives() == 0) {
        why = "no radio was found. Connect the radio with its programming cable, switch it on "
              "in programming mode and try again (quenfall-cli doctor says why none is found).";
        return {};
    }
    if (std::string problem = link->PermissionProblem(); !problem.empty()) {
        why = std::move(problem);
        return {};
    }
    PlatformLink platform;
    platform.Radio = link->ListedDrives().front();
    platform.Link = std::move(link);
    platform.TakeUsbEvents = MakeUsbEventCounter();
    return platform;
}

}  // namespace quenfall::cli
