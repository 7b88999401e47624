#pragma once
// Which requests the radio helper performs. It holds a right that lets it send any SCSI
// command to any disk it can open (a capability on Linux, an administrator's token on
// Windows), so it does only what an upgrade needs: open the radio's node, then the radio's
// two vendor commands with the lengths the dialogue uses. Platform-free: both helpers use it.
#include <string>

#include <cstdint>

#include "helper/helper_protocol.h"

namespace quenfall::helper {

// How a helper's Open names the node.
enum class NodeNaming : std::uint8_t {
    DevicePath,   // Linux: an absolute path under /dev/ without "." or ".." components, at
                  // most 255 bytes, no NUL; one node per helper (it opens one, once)
    DriveLetter,  // Windows: a volume by its letter, exactly "\\.\X:" with X from A to Z;
                  // one helper serves every upgrade of its program, each run over a
                  // connection of its own that keeps one drive open, so an Open while a
                  // drive is open closes that drive first
};

// Empty when the helper performs the request, otherwise why not. nodeOpen: whether this
// helper has a node open.
//   Open   a node named as naming says; on Linux only before a node is open.
//   Write  only with a node open; a whole request frame: 8 bytes (exit), 10 to 22 (enter,
//          0 to 12 sections) or 2065 (block).
//   Read   only with a node open; 1 to 4096 bytes.
//   Channel never here: only the Windows helper's first connection takes it, before this.
std::string WhyRequestRefused(const Request& request, bool nodeOpen, NodeNaming naming = NodeNaming::DevicePath);

}  // namespace quenfall::helper
