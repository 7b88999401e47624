#pragma once
// What the radio helper needs of its system, and all it needs: one drive, opened only when
// it is the radio, one vendor command at a time on it, and closing it. This is the
// interface each system's pass-through implements (server/linux over SG_IO, server/windows
// over SCSI pass-through direct), each over injected kernel calls, so that tests run the
// helper's whole service against faked drives. Every call blocks the helper's one thread
// (on Windows: the thread of the connection that owns the port) until the system answers.
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "helper/helper_protocol.h"
#include "helper/helper_request_check.h"
#include "protocol/vendor_command.h"
#include "upgrade/command_outcome.h"

namespace quenfall::helper {

// A reply that tells only how a request ended: error for a system error, text for why not
// (or, for a done Open, where the radio's disk sits).
inline Reply ReplyOf(Outcome outcome, std::int32_t error = 0, std::string text = {}) {
    Reply reply;
    reply.Result = outcome;
    reply.Error = error;
    reply.Text = std::move(text);
    return reply;
}

class PassThroughPort {
public:
    virtual ~PassThroughPort() = default;

    // How this system's Open names a node.
    virtual NodeNaming Naming() const = 0;
    // Whether the system honours this process's right to send the commands (the
    // greeting's flag).
    virtual bool HoldsCommandRight() const = 0;
    virtual bool IsOpen() const = 0;
    // Opens node and keeps it only when the opened handle is the radio's. Done, with where
    // the radio's disk sits in Text; otherwise SystemError, NotTheRadio or Refused with why.
    // Nothing else stays open after a refusal.
    virtual Reply Open(const std::string& node) = 0;
    // One vendor command on the open drive: data goes out for Write and is read into for
    // Read (the caller zeroes it first). What the system saw of it; a system error carries
    // the system's own number.
    virtual CommandOutcome Issue(VendorCommand command, std::span<const std::uint8_t> data) = 0;
    virtual void Close() = 0;
};

}  // namespace quenfall::helper
