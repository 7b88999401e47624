#pragma once
// Small helpers the commands share: number parsing, JSON strings.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenfall::cli {

// An emulated crate holds at most as many radios as a hub chain of a shop would.
inline constexpr std::size_t MaxEmulatedRadios = 64;

// A byte value written in decimal or with a 0x prefix in hex; none when it is not one.
std::optional<std::uint8_t> ParseByte(std::string_view text);
// text as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);
// The model codes this build accepts for pack --model, one line each with the key table
// each scramble mode uses, under a heading naming the key set; every line ends in '\n'.
std::string AcceptedModelsHelp(std::string_view indent);

}  // namespace quenfall::cli
