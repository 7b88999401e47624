#pragma once
// The text form of a recorded dialogue, as `quenfall-cli flash --trace` writes it:
//   "> " and the bytes of a frame as written (scrambled), in upper-case hex, blank-separated;
//   "< " and the 9 bytes of an answer the tool accepted.
// One line each, in the order they happened. A trace taken on a real radio replays through
// TraceReplayLink as a regression test.
#include <cstdint>
#include <istream>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quenfall {

struct TraceStep {
    bool Written = true;  // true: "> " frame written; false: "< " answer accepted
    std::vector<std::uint8_t> Bytes;
};

// The line for one step, newline included.
std::string FormatTraceLine(bool written, std::span<const std::uint8_t> bytes);

// Every step of a trace. Blank lines are skipped; any other line that is not a step makes
// the whole trace unreadable: none, and error names the line.
std::optional<std::vector<TraceStep>> ParseTrace(std::istream& in, std::string& error);

}  // namespace quenfall
