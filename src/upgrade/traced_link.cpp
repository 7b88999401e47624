#include "upgrade/traced_link.h"

namespace quenfall {

std::uint16_t TracedLink::ScanDrives() {
    const std::uint16_t found = inner_.ScanDrives();
    if ((found != 0) != present_) {
        present_ = found != 0;
        trace_.RadioPresence(present_);
    }
    return found;
}

}  // namespace quenfall
