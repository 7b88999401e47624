#pragma once
// The twelve provisioned XOR key tables, embedded at build time from the file named by
// the CMake option QUENFALL_KEY_TABLES (T0..T11, 256 bytes each, in order).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quenfall {

using KeyTable = std::array<std::uint8_t, 256>;
inline constexpr std::size_t KeyTableCount = 12;

const std::array<KeyTable, KeyTableCount>& KeyTables();

// The file name the build took the tables from, and the first 16 hex digits of its
// SHA-256: enough for a user to tell a development build from a provisioned one.
std::string_view KeySetName();
std::string_view KeySetFingerprint();

}  // namespace quenfall
