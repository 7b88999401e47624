// The build has no radio link for this platform: only the emulated radio can be flashed.
#include "cli/platform_link.h"

namespace quenfall::cli {

PlatformLink OpenPlatformLink(std::string& why) {
    why = "this build of quenfall-cli has no link to real radios; use --emulate";
    return {};
}

}  // namespace quenfall::cli
