#include "protocol/command_frame.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "protocol/scrambler.h"

namespace quenfall {

std::uint16_t PayloadSum(std::span<const std::uint8_t> payload) {
    unsigned sum = 0;
    for (std::uint8_t b : payload) sum += b;
    return static_cast<std::uint16_t>(sum);
}

std::uint16_t BuildFrame(std::span<std::uint8_t> frame, std::uint16_t code,
                         std::span<const std::uint8_t> payload) {
    const auto length = static_cast<std::uint16_t>(payload.size());
    const std::uint16_t sum = PayloadSum(payload);
    // The payload may already lie in the frame (requests are built in place) or overlap it
    // anywhere: move it before the header is written over bytes it may still occupy.
    if (!payload.empty() && payload.data() != frame.data() + 5)
        std::memmove(frame.data() + 5, payload.data(), payload.size());
    frame[0] = StartMarker;
    frame[1] = static_cast<std::uint8_t>(code >> 8);
    frame[2] = static_cast<std::uint8_t>(code);
    frame[3] = static_cast<std::uint8_t>(length >> 8);
    frame[4] = static_cast<std::uint8_t>(length);
    frame[5 + length] = static_cast<std::uint8_t>(sum >> 8);
    frame[6 + length] = static_cast<std::uint8_t>(sum);
    frame[7 + length] = EndMarker;
    return static_cast<std::uint16_t>(length + FrameOverhead);
}

namespace {
// Builds in place: the payload is written where BuildFrame will find it, so a block costs
// one pass over its 2048 bytes instead of a copy through scratch buffers.
std::uint16_t FinishRequest(FrameBuffer& frame, const ProfileSelection& selection,
                            CommandKind kind, std::uint16_t payloadLength) {
    std::span<std::uint8_t> whole(frame);
    const std::span<const std::uint8_t> payload(frame.data() + 5, payloadLength);
    const std::uint16_t length = BuildFrame(whole, RequestCode(selection, kind), payload);
    Scrambler(selection, whole.first(length));
    return length;
}
}  // namespace

std::uint16_t EnterRequest(FrameBuffer& frame, const ProfileSelection& selection,
                           std::uint8_t count, std::span<const std::uint8_t> list) {
    frame.fill(0);
    const std::optional<CommandKind> kind = EnterKind(selection.RequestVariant);
    if (!kind) return 0;
    count = std::min<std::uint8_t>(count, MaxSections);
    std::uint8_t* payload = frame.data() + 5;
    payload[0] = count;
    for (std::size_t i = 0; i < count; ++i) payload[1 + i] = i < list.size() ? list[i] : 0;
    payload[1 + count] = 0xFF;
    return FinishRequest(frame, selection, *kind, static_cast<std::uint16_t>(count + 2));
}

std::uint16_t BlockRequest(FrameBuffer& frame, const ProfileSelection& selection,
                           std::uint8_t sectionId, std::span<const std::uint8_t> sectionData,
                           std::uint16_t blockIndex, std::uint32_t sectionSize) {
    frame.fill(0);
    std::uint8_t* payload = frame.data() + 5;
    payload[0] = sectionId;
    payload[1] = static_cast<std::uint8_t>(blockIndex >> 8);
    payload[2] = static_cast<std::uint8_t>(blockIndex);
    payload[3] = static_cast<std::uint8_t>(sectionSize >> 24);
    payload[4] = static_cast<std::uint8_t>(sectionSize >> 16);
    payload[5] = static_cast<std::uint8_t>(sectionSize >> 8);
    payload[6] = static_cast<std::uint8_t>(sectionSize);
    payload[7] = static_cast<std::uint8_t>(BlockSize >> 8);
    payload[8] = static_cast<std::uint8_t>(BlockSize & 0xFF);
    const std::size_t start = std::size_t{blockIndex} * BlockSize;
    if (start < sectionData.size()) {
        const std::size_t n = std::min(BlockSize, sectionData.size() - start);
        std::copy_n(sectionData.begin() + static_cast<std::ptrdiff_t>(start), n, payload + 9);
    }
    return FinishRequest(frame, selection, CommandKind::Block, BlockPayloadLength);
}

std::uint16_t ExitRequest(FrameBuffer& frame, const ProfileSelection& selection) {
    frame.fill(0);
    return FinishRequest(frame, selection, CommandKind::Exit, 0);
}

bool ValidateResponse(std::span<const std::uint8_t> buffer, std::uint16_t expectedCode,
                      std::uint16_t expectedLength) {
    if (expectedLength < ResponseFrameLength || expectedLength > buffer.size()) return false;
    if (buffer[0] != StartMarker) return false;
    if (buffer[expectedLength - 1] != EndMarker) return false;
    if (buffer[1] != (expectedCode >> 8) || buffer[2] != (expectedCode & 0xFF)) return false;
    const std::size_t n = std::size_t{buffer[3]} << 8 | buffer[4];
    if (6 + n >= buffer.size()) return false;
    const std::uint16_t sum = PayloadSum(buffer.subspan(5, n));
    if (buffer[5 + n] != (sum >> 8) || buffer[6 + n] != (sum & 0xFF)) return false;
    return buffer[5] >= StatusAck1 && buffer[5] <= StatusInBootMode;
}

std::array<std::uint8_t, ResponseFrameLength> BuildResponse(std::uint16_t responseCode,
                                                            std::uint8_t status) {
    std::array<std::uint8_t, ResponseFrameLength> r{};
    const std::uint8_t payload[1] = {status};
    BuildFrame(r, responseCode, payload);
    return r;
}

ParsedFrame ParseFrame(std::span<const std::uint8_t> bytes) {
    ParsedFrame parsed;
    if (bytes.size() < FrameOverhead) return parsed;
    if (bytes[0] != StartMarker) {
        parsed.Fault = FrameFault::StartMarker;
        return parsed;
    }
    const std::size_t n = std::size_t{bytes[3]} << 8 | bytes[4];
    if (n + FrameOverhead != bytes.size()) {
        parsed.Fault = FrameFault::LengthMismatch;
        return parsed;
    }
    if (bytes[7 + n] != EndMarker) {
        parsed.Fault = FrameFault::EndMarker;
        return parsed;
    }
    const auto payload = bytes.subspan(5, n);
    const std::uint16_t sum = PayloadSum(payload);
    if (bytes[5 + n] != (sum >> 8) || bytes[6 + n] != (sum & 0xFF)) {
        parsed.Fault = FrameFault::CheckSum;
        return parsed;
    }
    parsed.Fault = FrameFault::None;
    parsed.Code = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    parsed.Payload = payload;
    return parsed;
}

}  // namespace quenfall
