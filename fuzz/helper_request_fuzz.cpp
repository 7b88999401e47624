// The radio helper's reading of what its client sends. The helper may hold a capability
// that lets it command any disk it opens, and a client is any program the user runs, so
// every byte is hostile: whatever the body, decoding never reads outside it, and a request
// that passes the check is exactly one the dialogue with the radio uses.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "helper/helper_protocol.h"
#include "helper/helper_request_check.h"

using namespace quenfall::helper;

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

bool IsFrameLength(std::size_t n) { return n == 8 || (n >= 10 && n <= 22) || n == 2065; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> body(data, size);
    const Request request = DecodeRequest(body);
    for (bool nodeOpen : {false, true}) {
        if (!WhyRequestRefused(request, nodeOpen).empty()) continue;
        switch (request.Type) {
            case RequestType::Open:
                Require(!nodeOpen && request.Node.rfind("/dev/", 0) == 0);
                Require(request.Node.find("/../") == std::string::npos);
                Require(request.Node.size() < 3 || request.Node.compare(request.Node.size() - 3, 3, "/..") != 0);
                Require(request.Node.find('\0') == std::string::npos);
                break;
            case RequestType::Write: Require(nodeOpen && IsFrameLength(request.Data.size())); break;
            case RequestType::Read:
                Require(nodeOpen && request.ReadLength >= 1 && request.ReadLength <= MaxAnswerLength);
                break;
            case RequestType::Malformed: Require(false); break;
        }
    }
    // What decodes as a request encodes back to the same bytes.
    if (request.Type != RequestType::Malformed) {
        const auto again = EncodeRequest(request);
        Require(again.size() == size && std::equal(again.begin(), again.end(), body.begin()));
    }
    // The client's side reads replies and greetings from the helper just as carefully.
    if (const auto reply = DecodeReply(body)) {
        Require(reply->Text.size() <= MaxTextLength && reply->Data.size() <= MaxAnswerLength);
        const auto again = EncodeReply(*reply);
        Require(DecodeReply(again).has_value());
    }
    (void)DecodeHello(body);
    if (size >= LengthPrefixSize) {
        if (const auto n = AnnouncedLength(body.first<LengthPrefixSize>())) Require(*n >= 1 && *n <= MaxBodyLength);
    }
    return 0;
}
