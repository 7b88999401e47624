#pragma once
// A package ends in a two-byte check value, stored high byte first and scrambled with the
// body: the 16-bit wrapping sum of every byte before it (header included), divided by 5.
#include <cstdint>
#include <span>

namespace quenfall {

std::uint16_t ComputeCheckValue(std::span<const std::uint8_t> bytesBeforeCheck);

// The same in pieces, for a caller that sums a file as it passes over it anyway: add up the
// ByteSum of each piece, then take the CheckValueOfSum.
std::uint32_t ByteSum(std::span<const std::uint8_t> bytes);
std::uint16_t CheckValueOfSum(std::uint32_t sum);

}  // namespace quenfall
