#include "helper/server/radio_helper_service.h"

#include <utility>

namespace quenfall::helper {

namespace {

// What the system saw of a command, for the client to report: its error, or the device's,
// the host adapter's and the driver's status and the sense data the device sent.
void CarryOutcome(const CommandOutcome& outcome, Reply& reply) {
    if (outcome.Result == CommandResult::SystemError) {
        reply.Result = Outcome::SystemError;
        reply.Error = outcome.Error;
        return;
    }
    reply.ScsiStatus = outcome.ScsiStatus;
    reply.HostStatus = outcome.HostStatus;
    reply.DriverStatus = outcome.DriverStatus;
    const auto sense = outcome.SenseBytes();
    reply.Sense.assign(sense.begin(), sense.end());
}

}  // namespace

RadioHelperService::RadioHelperService(std::unique_ptr<PassThroughPort> port) : port_(std::move(port)) {}

RadioHelperService::~RadioHelperService() { port_->Close(); }

Hello RadioHelperService::Greeting() const { return Hello{ProtocolVersion, port_->HoldsCommandRight()}; }

Reply RadioHelperService::Handle(const Request& request) {
    if (std::string why = WhyRequestRefused(request, port_->IsOpen(), port_->Naming()); !why.empty()) {
        return ReplyOf(Outcome::Refused, 0, std::move(why));
    }
    switch (request.Type) {
        case RequestType::Open: return port_->Open(request.Node);
        case RequestType::Write: return Write(request.Data);
        case RequestType::Read: return Read(request.ReadLength);
        case RequestType::Channel:
        case RequestType::Malformed: break;
    }
    return ReplyOf(Outcome::Refused, 0, "not a request the radio helper knows");
}

Reply RadioHelperService::Write(const std::vector<std::uint8_t>& frame) {
    Reply reply = ReplyOf(Outcome::Done);
    CarryOutcome(port_->Issue(VendorCommand::Write, frame), reply);
    return reply;
}

Reply RadioHelperService::Read(std::uint32_t length) {
    Reply reply = ReplyOf(Outcome::Done);
    reply.Data.assign(length, 0);
    const CommandOutcome outcome = port_->Issue(VendorCommand::Read, reply.Data);
    // Whatever a failed command left in the buffer is not an answer.
    if (outcome.Result == CommandResult::SystemError) reply.Data.assign(length, 0);
    CarryOutcome(outcome, reply);
    return reply;
}

}  // namespace quenfall::helper
