#pragma once
// Whether the process runs in the system's own user namespace. In one of its own (a
// container, `unshare -Ur`) a user is root: it holds every capability there, which the
// kernel does not honour for the radio's commands, and it can mount what it likes over
// /sys, so the helper can neither vouch for a node nor for its capability.
#include <string_view>

namespace quenfall::helper {

// Whether /proc/self/uid_map's text is the initial namespace's: one extent mapping every
// user id to itself ("0 0 4294967295", in any spacing). The kernel shows the map as seen
// from the reader's own namespace, so a namespace made by a user can never show this.
bool IsInitialUidMap(std::string_view uidMap);

// Reads /proc/self/uid_map, which must come from procfs (not a file system mounted over
// /proc). False when it cannot be read.
bool InInitialUserNamespace();

}  // namespace quenfall::helper
