#pragma once
// The SHA-256 of a package file, byte for byte as it lies on the disk: what names "which
// file" to a shop, to sha256sum and to the history, where the two-byte check value only
// catches damage. The digest itself is the system's (platform.h, "The package digest"): a
// maintained implementation where the system has one, so that the core carries no
// cryptography of its own.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quenfall {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Defined by the platform binding. None when the system's implementation cannot be reached.
std::optional<Sha256Digest> ComputeSha256(std::span<const std::uint8_t> bytes);

// Lowercase hex, as sha256sum prints it; empty when none could be computed.
std::string Sha256Text(std::span<const std::uint8_t> bytes);

// True for 64 hex digits of either case (what history --sha256 takes).
bool IsSha256Text(std::string_view text);

}  // namespace quenfall
