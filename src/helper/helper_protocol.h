#pragma once
// What the window or quenfall-cli and the radio helper say to each other: over a socket pair
// on Linux, over a named pipe on Windows. Every message is a 4-byte big-endian length followed by that many bytes of body;
// the body's first byte is its type.
//
//   helper -> client, once at start   Hello        'H' version flags(bit 0: holds the right
//                                                      to send the commands: CAP_SYS_RAWIO on
//                                                      Linux, an administrator's token on
//                                                      Windows)
//   client -> helper                  Open         'O' node path (bytes, no NUL): "/dev/sg1",
//                                                      "\\.\E:"
//                                     Write        'W' the request frame
//                                     Read         'R' answer length (2, BE)
//                                     Channel      'C' pipe name (bytes): Windows only, on
//                                                      the first connection only: the helper
//                                                      connects to that pipe too and serves it
//                                                      on a thread of its own
//   helper -> client, one per request Reply        'r' outcome error(4, BE) text length(2, BE)
//                                                      SCSI status, host status(2, BE),
//                                                      driver status(2, BE), sense length(1)
//                                                      text sense data (a Read's answer)
//
// The helper answers every request with exactly one reply, in order. It ends when the
// client closes its end (on Windows: its first connection, once every other has closed
// too), and on any framing error.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/command_sizes.h"

namespace quenfall::helper {

inline constexpr std::uint8_t ProtocolVersion = 3;
inline constexpr std::size_t LengthPrefixSize = 4;
// The longest body: a reply carrying an answer of the largest length a Read may ask for,
// with room for its header and a refusal text.
inline constexpr std::size_t MaxAnswerLength = ResponseBufferSize;
inline constexpr std::size_t MaxTextLength = 512;
inline constexpr std::size_t MaxBodyLength = 14 + MaxTextLength + MaxSenseLength + MaxAnswerLength;

enum class RequestType : std::uint8_t {
    Open = 'O',
    Write = 'W',
    Read = 'R',
    Channel = 'C',
    Malformed = 0,  // anything the helper cannot read as one of the four
};

struct Request {
    RequestType Type = RequestType::Malformed;
    std::string Node;                // Open; Channel: the pipe's name
    std::vector<std::uint8_t> Data;  // Write
    std::uint32_t ReadLength = 0;    // Read
};

enum class Outcome : std::uint8_t {
    Done = 0,         // performed; for a command, the radio's side is judged by its answer;
                      // for Open, Text says where the radio's disk sits: its sysfs path on
                      // Linux ("/devices/.../block/sdb"), its USB location on Windows
                      // ("1400-2.3", empty when Windows keeps none)
    SystemError = 1,  // the system refused or failed it; Error holds the errno (Linux) or
                      // the system error code (Windows)
    NotTheRadio = 2,  // Open: the node opened is not the radio's; Text says what it is
    Refused = 3,      // not a request the helper performs; Text says why
};

struct Reply {
    Outcome Result = Outcome::Done;
    std::int32_t Error = 0;
    std::string Text;
    // A command's status as SG_IO returned it (Done only): the device's, the host adapter's
    // and the driver's, and the sense data the device sent, if any.
    std::uint8_t ScsiStatus = 0;
    std::uint16_t HostStatus = 0;
    std::uint16_t DriverStatus = 0;
    std::vector<std::uint8_t> Sense;
    std::vector<std::uint8_t> Data;
};

struct Hello {
    std::uint8_t Version = 0;
    bool HasRawIo = false;
};

std::vector<std::uint8_t> EncodeRequest(const Request& request);
// The same into body, whose room is reused: once it has grown to the largest request,
// encoding allocates nothing.
void EncodeRequestInto(const Request& request, std::vector<std::uint8_t>& body);
Request DecodeRequest(std::span<const std::uint8_t> body);

std::vector<std::uint8_t> EncodeReply(const Reply& reply);
std::optional<Reply> DecodeReply(std::span<const std::uint8_t> body);
// The same into reply, whose room is reused; false (reply unspecified) when body is not one.
bool DecodeReplyInto(std::span<const std::uint8_t> body, Reply& reply);

std::vector<std::uint8_t> EncodeHello(const Hello& hello);
std::optional<Hello> DecodeHello(std::span<const std::uint8_t> body);

// The 4-byte length prefix for a body of this size.
std::array<std::uint8_t, LengthPrefixSize> LengthPrefix(std::size_t bodyLength);
// The body length a prefix announces; nothing when it is 0 or above MaxBodyLength.
std::optional<std::size_t> AnnouncedLength(std::span<const std::uint8_t, LengthPrefixSize> prefix);

}  // namespace quenfall::helper
