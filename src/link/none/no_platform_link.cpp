// A system with no radio binding: only the emulated radio can be used.
#include "link/platform_link.h"

namespace quenfall {

std::unique_ptr<PlatformDeviceLink> MakePlatformDeviceLink() { return nullptr; }
std::function<int()> MakeUsbEventCounter(const std::string&) { return {}; }

}  // namespace quenfall
