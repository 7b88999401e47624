#pragma once
// The text form of a recorded dialogue, as `quenfall-cli flash --trace` writes it, one line
// per step in the order they happened:
//   "> " and the bytes of a frame as written (scrambled), in upper-case hex, blank-separated;
//   "< " and the 9 bytes of an answer the tool accepted;
//   "! W " or "! R " and the outcome of a write or read that was not good, right after the
//     frame it belongs to: "status SS host HHHH driver DDDD" with "sense" and its bytes
//     when there were any, "error N" (a POSIX error number), "windows-error N", "gone" (the
//     radio helper stopped answering) or "refused" (the helper would not do it); anything
//     after " # " is a reader's note and is not read back;
//   "- radio left" and "+ radio back": a scan found the radio gone, and found it again.
// A trace taken on a real radio, restart included, replays through TraceReplayLink as a
// regression test. Traces of the first form (frames and answers only) read as before.
#include <cstdint>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "upgrade/command_outcome.h"

namespace quenfall {

enum class TraceEvent : std::uint8_t { Frame, Answer, CommandFailed, RadioLeft, RadioBack };

struct TraceStep {
    bool Written = true;  // Frame: true; Answer: false; CommandFailed: the write's (else a read's)
    std::vector<std::uint8_t> Bytes;  // Frame and Answer
    TraceEvent Event = TraceEvent::Frame;
    CommandOutcome Outcome;  // CommandFailed
};

// The line for one step, newline included.
std::string FormatTraceLine(bool written, std::span<const std::uint8_t> bytes);
std::string FormatOutcomeLine(bool written, const CommandOutcome& outcome);
std::string FormatPresenceLine(bool present);

// Every step of a trace. Blank lines are skipped; any other line that is not a step makes
// the whole trace unreadable: none, and error names the line.
std::optional<std::vector<TraceStep>> ParseTrace(std::istream& in, std::string& error);

}  // namespace quenfall
