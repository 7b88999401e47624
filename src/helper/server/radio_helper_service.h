#pragma once
// The radio helper's work, apart from its process and its transport, written once for every
// system: it answers one request at a time against a PassThroughPort, so that tests run it
// in-process against faked kernel calls and the helper programs run it against the real
// ones. It performs only what helper_request_check.h lets through.
#include <memory>

#include "helper/helper_protocol.h"
#include "helper/server/pass_through_port.h"

namespace quenfall::helper {

class RadioHelperService {
public:
    explicit RadioHelperService(std::unique_ptr<PassThroughPort> port);
    ~RadioHelperService();
    RadioHelperService(const RadioHelperService&) = delete;
    RadioHelperService& operator=(const RadioHelperService&) = delete;

    // Sent once when the helper starts: whether the system honours its right to send the
    // commands.
    Hello Greeting() const;
    // Every request gets a reply. Open opens the node only when it is the radio; Write and
    // Read issue the vendor commands on it; a command's reply carries the device's status
    // and sense data, or the system's error. A refused request changes nothing.
    Reply Handle(const Request& request);

private:
    Reply Write(const std::vector<std::uint8_t>& frame);
    Reply Read(std::uint32_t length);

    std::unique_ptr<PassThroughPort> port_;
};

}  // namespace quenfall::helper
