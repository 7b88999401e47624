// The radio's answers on arbitrary bytes. What a radio (or a device posing as one) puts in
// the 4096-byte response buffer is outside our control; the length field inside it may
// point anywhere.
//
// Input: expected code (2 bytes, BE), expected length (2 bytes, BE), then the bytes the
// read delivered, zero-padded to 4096 as a short read leaves them. The verdict of
// ValidateResponse is compared with one derived from ParseFrame, and ParseFrame itself is
// run on the raw bytes and checked against BuildFrame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/command_frame.h"

using namespace quenfall;

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

bool StatusValid(std::uint8_t status) { return status >= 1 && status <= 4; }

// An answer is valid when the frame its length field describes is sound (start marker,
// check sum), names the expected code, carries a valid status, and the byte at the expected
// length is an end marker. The end marker behind the payload is not required, so it is
// put in place before ParseFrame judges the rest.
bool ExpectedVerdict(std::span<const std::uint8_t> buffer, std::uint16_t code,
                     std::uint16_t length) {
    if (length < ResponseFrameLength || length > buffer.size()) return false;
    if (buffer[length - 1] != EndMarker) return false;
    const std::size_t n = std::size_t{buffer[3]} << 8 | buffer[4];
    // The check sum must lie inside the buffer; the end marker behind it need not.
    if (n + 7 > buffer.size()) return false;
    std::vector<std::uint8_t> frame(n + FrameOverhead);
    std::copy_n(buffer.begin(), n + 7, frame.begin());
    frame[n + 7] = EndMarker;
    const ParsedFrame parsed = ParseFrame(frame);
    return parsed.Fault == FrameFault::None && parsed.Code == code && StatusValid(buffer[5]);
}

FrameFault ExpectedFault(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < FrameOverhead) return FrameFault::TooShort;
    if (bytes[0] != StartMarker) return FrameFault::StartMarker;
    const std::size_t n = std::size_t{bytes[3]} << 8 | bytes[4];
    if (n + FrameOverhead != bytes.size()) return FrameFault::LengthMismatch;
    if (bytes[n + 7] != EndMarker) return FrameFault::EndMarker;
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += bytes[5 + i];
    if (bytes[5 + n] != ((sum >> 8) & 0xFF) || bytes[6 + n] != (sum & 0xFF)) return FrameFault::CheckSum;
    return FrameFault::None;
}

void CheckParseFrame(std::span<const std::uint8_t> bytes) {
    // An exact-size heap copy, so a read past the frame is caught.
    const std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
    const ParsedFrame parsed = ParseFrame(exact);
    Require(parsed.Fault == ExpectedFault(exact));
    if (parsed.Fault != FrameFault::None) return;
    Require(parsed.Payload.data() == exact.data() + 5);
    Require(parsed.Payload.size() + FrameOverhead == exact.size());
    std::vector<std::uint8_t> rebuilt(exact.size());
    Require(BuildFrame(rebuilt, parsed.Code, parsed.Payload) == exact.size());
    Require(rebuilt == exact);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const auto code = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
    const auto length = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
    const std::span<const std::uint8_t> read(data + 4, std::min<std::size_t>(size - 4, FrameBufferSize));

    // Heap-allocated at exactly 4096 bytes, like the sequencer's response buffer.
    std::vector<std::uint8_t> buffer(FrameBufferSize, 0);
    std::copy(read.begin(), read.end(), buffer.begin());
    const bool valid = ValidateResponse(buffer, code, length);
    Require(valid == ExpectedVerdict(buffer, code, length));

    // A shorter buffer than the one the sequencer uses must be just as safe.
    const std::span<const std::uint8_t> shortBuffer(read);
    const std::vector<std::uint8_t> exact(shortBuffer.begin(), shortBuffer.end());
    Require(ValidateResponse(exact, code, length) == ExpectedVerdict(exact, code, length));

    CheckParseFrame(read);

    // The radio's own answer for this code validates exactly when its status is 1..4.
    const std::uint8_t status = read.size() > 5 ? read[5] : 0;
    const auto answer = BuildResponse(code, status);
    std::vector<std::uint8_t> answerBuffer(FrameBufferSize, 0);
    std::copy(answer.begin(), answer.end(), answerBuffer.begin());
    Require(ValidateResponse(answerBuffer, code, ResponseFrameLength) == StatusValid(status));
    const ParsedFrame parsedAnswer = ParseFrame(answer);
    Require(parsedAnswer.Fault == FrameFault::None && parsedAnswer.Code == code &&
            parsedAnswer.Payload.size() == 1 && parsedAnswer.Payload[0] == status);
    return 0;
}
