#include "helper/helper_protocol.h"

#include <algorithm>

namespace quenfall::helper {

namespace {

constexpr std::uint8_t HelloType = 'H';
constexpr std::uint8_t ReplyType = 'r';
// type, outcome, error (4), text length (2), SCSI status, host status (2), driver status (2),
// sense length
constexpr std::size_t ReplyHeaderLength = 14;

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t BigEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::uint8_t b : bytes) value = value << 8 | b;
    return value;
}

}  // namespace

std::vector<std::uint8_t> EncodeRequest(const Request& request) {
    std::vector<std::uint8_t> body;
    EncodeRequestInto(request, body);
    return body;
}

void EncodeRequestInto(const Request& request, std::vector<std::uint8_t>& body) {
    body.clear();
    body.reserve(1 + request.Node.size() + request.Data.size() + 2);
    body.push_back(static_cast<std::uint8_t>(request.Type));
    switch (request.Type) {
        case RequestType::Open:
        case RequestType::Channel: body.insert(body.end(), request.Node.begin(), request.Node.end()); break;
        case RequestType::Write: body.insert(body.end(), request.Data.begin(), request.Data.end()); break;
        case RequestType::Read: PutBigEndian(body, request.ReadLength, 2); break;
        case RequestType::Malformed: break;
    }
}

Request DecodeRequest(std::span<const std::uint8_t> body) {
    Request request;
    if (body.empty()) return request;
    const auto rest = body.subspan(1);
    switch (body[0]) {
        case static_cast<std::uint8_t>(RequestType::Open):
            request.Type = RequestType::Open;
            request.Node.assign(rest.begin(), rest.end());
            break;
        case static_cast<std::uint8_t>(RequestType::Channel):
            request.Type = RequestType::Channel;
            request.Node.assign(rest.begin(), rest.end());
            break;
        case static_cast<std::uint8_t>(RequestType::Write):
            request.Type = RequestType::Write;
            request.Data.assign(rest.begin(), rest.end());
            break;
        case static_cast<std::uint8_t>(RequestType::Read):
            if (rest.size() != 2) break;
            request.Type = RequestType::Read;
            request.ReadLength = BigEndian(rest);
            break;
        default: break;
    }
    return request;
}

std::vector<std::uint8_t> EncodeReply(const Reply& reply) {
    const std::size_t textLength = std::min(reply.Text.size(), MaxTextLength);
    const std::size_t senseLength = std::min(reply.Sense.size(), MaxSenseLength);
    const std::size_t dataLength = std::min(reply.Data.size(), MaxAnswerLength);
    std::vector<std::uint8_t> body;
    body.reserve(ReplyHeaderLength + textLength + senseLength + dataLength);
    body.push_back(ReplyType);
    body.push_back(static_cast<std::uint8_t>(reply.Result));
    PutBigEndian(body, static_cast<std::uint32_t>(reply.Error), 4);
    PutBigEndian(body, static_cast<std::uint32_t>(textLength), 2);
    body.push_back(reply.ScsiStatus);
    PutBigEndian(body, reply.HostStatus, 2);
    PutBigEndian(body, reply.DriverStatus, 2);
    body.push_back(static_cast<std::uint8_t>(senseLength));
    body.insert(body.end(), reply.Text.begin(), reply.Text.begin() + static_cast<std::ptrdiff_t>(textLength));
    body.insert(body.end(), reply.Sense.begin(), reply.Sense.begin() + static_cast<std::ptrdiff_t>(senseLength));
    body.insert(body.end(), reply.Data.begin(), reply.Data.begin() + static_cast<std::ptrdiff_t>(dataLength));
    return body;
}

std::optional<Reply> DecodeReply(std::span<const std::uint8_t> body) {
    Reply reply;
    if (!DecodeReplyInto(body, reply)) return std::nullopt;
    return reply;
}

bool DecodeReplyInto(std::span<const std::uint8_t> body, Reply& reply) {
    if (body.size() < ReplyHeaderLength || body[0] != ReplyType || body[1] > 3) return false;
    reply.Result = static_cast<Outcome>(body[1]);
    reply.Error = static_cast<std::int32_t>(BigEndian(body.subspan(2, 4)));
    const std::size_t textLength = BigEndian(body.subspan(6, 2));
    reply.ScsiStatus = body[8];
    reply.HostStatus = static_cast<std::uint16_t>(BigEndian(body.subspan(9, 2)));
    reply.DriverStatus = static_cast<std::uint16_t>(BigEndian(body.subspan(11, 2)));
    const std::size_t senseLength = body[13];
    if (textLength > MaxTextLength || senseLength > MaxSenseLength ||
        body.size() < ReplyHeaderLength + textLength + senseLength) {
        return false;
    }
    const auto text = body.subspan(ReplyHeaderLength, textLength);
    reply.Text.assign(text.begin(), text.end());
    const auto sense = body.subspan(ReplyHeaderLength + textLength, senseLength);
    reply.Sense.assign(sense.begin(), sense.end());
    const auto data = body.subspan(ReplyHeaderLength + textLength + senseLength);
    if (data.size() > MaxAnswerLength) return false;
    reply.Data.assign(data.begin(), data.end());
    return true;
}

std::vector<std::uint8_t> EncodeHello(const Hello& hello) {
    return {HelloType, hello.Version, static_cast<std::uint8_t>(hello.HasRawIo ? 1 : 0)};
}

std::optional<Hello> DecodeHello(std::span<const std::uint8_t> body) {
    if (body.size() != 3 || body[0] != HelloType) return std::nullopt;
    return Hello{body[1], (body[2] & 1) != 0};
}

std::array<std::uint8_t, LengthPrefixSize> LengthPrefix(std::size_t bodyLength) {
    const auto n = static_cast<std::uint32_t>(bodyLength);
    return {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
            static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

std::optional<std::size_t> AnnouncedLength(std::span<const std::uint8_t, LengthPrefixSize> prefix) {
    const std::size_t n = BigEndian(prefix);
    if (n == 0 || n > MaxBodyLength) return std::nullopt;
    return n;
}

}  // namespace quenfall::helper
