#include "helper/client/helper_reply_outcome.h"

namespace quenfall {

CommandOutcome OutcomeOfHelperReply(const helper::Reply& reply, ErrorCodes codes) {
    switch (reply.Result) {
        case helper::Outcome::Done:
            return OutcomeOfStatus(reply.ScsiStatus, reply.HostStatus, reply.DriverStatus, reply.Sense);
        case helper::Outcome::SystemError: return OutcomeOfSystemError(reply.Error, codes);
        case helper::Outcome::NotTheRadio:
        case helper::Outcome::Refused: break;
    }
    CommandOutcome refused;
    refused.Result = CommandResult::HelperRefused;
    return refused;
}

}  // namespace quenfall
