#include "platform/linux/linux_command_channel.h"

#include <cstring>
#include <utility>

#include "helper/client/helper_command_channel.h"

namespace quenfall {

std::unique_ptr<DeviceChannel> MakeHelperCommandChannel(std::unique_ptr<helper::HelperConnection> helper,
                                                        std::string node) {
    return MakeHelperChannel(std::move(helper), std::move(node), ErrorCodes::Posix, CommandRefusedAdvice);
}

std::string CommandRefusedAdvice(const std::string& node, int error) {
    return "The system refused the radio's commands on " + node + " (" + std::strerror(error) +
           "), although the radio helper could open it. This happens inside a container or "
           "another user namespace, where the raw I/O capability does not count, or under a "
           "security policy that forbids these commands: run Quenfall directly on the "
           "computer the radio is connected to.";
}

}  // namespace quenfall
