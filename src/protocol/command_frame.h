#pragma once
// The framed dialogue with the radio. Every request and every answer is a CommandFrame:
//   A1 | code (2, BE) | payload length L (2, BE) | payload (L) | sum of payload (2, BE) | A4
// Requests are built into a caller-owned 4096-byte buffer and scrambled whole; answers
// come back plain.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/model_profile.h"

namespace quenfall {

inline constexpr std::size_t FrameBufferSize = 4096;
inline constexpr std::size_t BlockSize = 2048;
inline constexpr std::size_t MaxSections = 12;
inline constexpr std::uint8_t StartMarker = 0xA1;
inline constexpr std::uint8_t EndMarker = 0xA4;
inline constexpr std::uint16_t FrameOverhead = 8;
inline constexpr std::uint16_t ResponseFrameLength = 9;
inline constexpr std::uint16_t BlockPayloadLength = 2057;
inline constexpr std::uint16_t BlockFrameLength = BlockPayloadLength + FrameOverhead;
inline constexpr std::uint16_t ExitFrameLength = FrameOverhead;

using FrameBuffer = std::array<std::uint8_t, FrameBufferSize>;

// Radio statuses: 1 and 2 acknowledge, 3 announces a restart into boot mode, 4 says the
// radio is in boot mode. Anything else makes the answer invalid.
enum ResponseStatus : std::uint8_t {
    StatusAck1 = 1,
    StatusAck2 = 2,
    StatusRestarting = 3,
    StatusInBootMode = 4,
};

// 16-bit wrapping sum of the payload bytes.
std::uint16_t PayloadSum(std::span<const std::uint8_t> payload);

// Lays out the plain frame for code and payload at the start of frame and returns its
// length, payload.size() + 8. frame must have room for it.
std::uint16_t BuildFrame(std::span<std::uint8_t> frame, std::uint16_t code,
                         std::span<const std::uint8_t> payload);

// The three requests of an upgrade. Each zeroes the whole buffer, lays the frame out at its
// start with the code of the selection, scrambles it with the selection's key and returns
// its length. EnterRequest carries count (at most 12) and the first count ids of list and
// returns 0 when the selection's RequestVariant has no enter code (nothing is built).
std::uint16_t EnterRequest(FrameBuffer& frame, const ProfileSelection& selection,
                           std::uint8_t count, std::span<const std::uint8_t> list);
// Block data are sectionData[blockIndex * 2048 ...] for 2048 bytes; positions past the end
// of sectionData are sent as zero, so a final partial block never carries stale bytes.
std::uint16_t BlockRequest(FrameBuffer& frame, const ProfileSelection& selection,
                           std::uint8_t sectionId, std::span<const std::uint8_t> sectionData,
                           std::uint16_t blockIndex, std::uint32_t sectionSize);
std::uint16_t ExitRequest(FrameBuffer& frame, const ProfileSelection& selection);

// True only when, in this order: buffer[0] is A1; buffer[expectedLength - 1] is A4; bytes
// 1-2 are expectedCode; the sum of the n payload bytes (n from bytes 3-4) is in the two
// bytes behind them; byte 5 is a status 1..4. Never reads outside buffer: a length field
// that would put the sum outside it makes the answer invalid.
bool ValidateResponse(std::span<const std::uint8_t> buffer, std::uint16_t expectedCode,
                      std::uint16_t expectedLength);

// The radio's side: its 9-byte answer to a request.
std::array<std::uint8_t, ResponseFrameLength> BuildResponse(std::uint16_t responseCode,
                                                            std::uint8_t status);

// Reading a plain (descrambled) frame, as the radio does.
enum class FrameFault : std::uint8_t { None, TooShort, StartMarker, LengthMismatch, EndMarker, CheckSum };
struct ParsedFrame {
    FrameFault Fault = FrameFault::TooShort;
    std::uint16_t Code = 0;
    std::span<const std::uint8_t> Payload;
};
// bytes must be exactly one frame: its length must be the payload length field + 8.
ParsedFrame ParseFrame(std::span<const std::uint8_t> bytes);

}  // namespace quenfall
