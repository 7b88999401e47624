#pragma once
// The client's side of a conversation with a running radio helper, whatever carries it (a
// socket pair on Linux, a named pipe on Windows).
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "helper/helper_protocol.h"

namespace quenfall::helper {

// One conversation with a running helper.
class HelperConnection {
public:
    virtual ~HelperConnection() = default;
    // Sends one request and returns the helper's reply; nothing when the helper is gone or
    // did not answer in time. After the first nothing, every exchange gives nothing.
    virtual std::optional<Reply> Exchange(const Request& request) = 0;
    // The same into reply, whose room is reused; false when Exchange would give nothing.
    // The helper's own connection allocates nothing here once its buffers have grown.
    virtual bool ExchangeInto(const Request& request, Reply& reply) {
        auto answer = Exchange(request);
        if (!answer) return false;
        reply = std::move(*answer);
        return true;
    }
};

struct HelperStart {
    std::unique_ptr<HelperConnection> Connection;  // null when the helper did not start
    Hello Greeting;
    std::string Problem;  // why it did not start, in words
    // When the program chose not to start it: the whole text the user reads, in place of
    // the usual advice to answer the prompt.
    std::string Advice;
};

}  // namespace quenfall::helper
