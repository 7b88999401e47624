#pragma once
// What a radio helper's reply to a Write or Read says of the command, for the channel that
// asked: the same on Linux and Windows but for whose error numbers a system error carries.
#include "helper/helper_protocol.h"
#include "upgrade/command_outcome.h"

namespace quenfall {

// Done: the status and sense the helper saw; SystemError: the system's error in codes;
// Refused or NotTheRadio: the helper would not perform it.
CommandOutcome OutcomeOfHelperReply(const helper::Reply& reply, ErrorCodes codes);

}  // namespace quenfall
