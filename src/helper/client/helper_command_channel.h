#pragma once
// The command transport through a radio helper, the same on Linux and Windows: each vendor
// command of the opened drive goes to the helper that opened it, and its reply says what
// the helper saw. A helper that stops answering is a radio that stops answering: writes go
// nowhere and reads leave zeros, so the sequencer ends the run by its own time-out.
#include <memory>
#include <string>

#include "helper/client/helper_connection.h"
#include "upgrade/command_outcome.h"
#include "upgrade/device_link.h"

namespace quenfall {

// What the user can do when the system refused a command on node outright; error is the
// system's own number, in the codes the channel was made with.
using RefusalAdviser = std::string (*)(const std::string& node, int error);

// A channel over a helper that has opened node. The connection is shared where one helper
// serves every drive its window opens.
std::unique_ptr<DeviceChannel> MakeHelperChannel(std::shared_ptr<helper::HelperConnection> helper, std::string node,
                                                 ErrorCodes codes, RefusalAdviser advice);

}  // namespace quenfall
