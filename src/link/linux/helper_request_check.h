#pragma once
// Which requests the radio helper performs. It holds a capability that lets it send any
// SCSI command to any disk it can open, so it does only what an upgrade needs: open one
// device node, then the radio's two vendor commands with the lengths the dialogue uses.
#include <string>

#include "link/linux/helper_protocol.h"

namespace quenfall::helper {

// Empty when the helper performs the request, otherwise why not. nodeOpen: whether this
// helper has already opened its node (it opens one, once).
//   Open   only before a node is open; an absolute path under /dev/ without "." or ".."
//          components, at most 255 bytes, no NUL.
//   Write  only with a node open; a whole request frame: 8 bytes (exit), 10 to 22 (enter,
//          0 to 12 sections) or 2065 (block).
//   Read   only with a node open; 1 to 4096 bytes.
std::string WhyRequestRefused(const Request& request, bool nodeOpen);

}  // namespace quenfall::helper
