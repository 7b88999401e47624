#pragma once
// The command transport on Linux: each vendor command of an opened radio drive goes to the
// radio helper that opened it (helper/client/linux/helper_process.h), which performs it with SG_IO.
#include <memory>
#include <string>

#include "helper/client/linux/helper_process.h"
#include "upgrade/device_link.h"

namespace quenfall {

// A channel over a helper that has opened node. A helper that stops answering is a radio
// that stops answering: writes go nowhere and reads leave zeros, so the sequencer ends the
// run by its own time-out.
std::unique_ptr<DeviceChannel> MakeHelperCommandChannel(std::unique_ptr<helper::HelperConnection> helper,
                                                        std::string node);

// What the user can do when the system refused a command outright on node although the
// helper could open it.
std::string CommandRefusedAdvice(const std::string& node, int error);

}  // namespace quenfall
