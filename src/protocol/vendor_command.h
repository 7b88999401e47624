#pragma once
// The two vendor SCSI commands the radio understands. The command block is the same for
// every request; what is asked travels only in the data and in the transfer length.
#include <array>
#include <chrono>
#include <cstdint>

namespace quenfall {

using CommandBlock = std::array<std::uint8_t, 16>;

enum class VendorCommand : std::uint8_t {
    Write,  // carries one request frame to the radio (data out)
    Read,   // fetches the radio's answer (data in)
};

// FF 2A 00 .. 00 47 50 for Write, FF 28 00 .. 00 47 50 for Read.
constexpr CommandBlock VendorCommandBlock(VendorCommand command) {
    CommandBlock block{};
    block[0] = 0xFF;
    block[1] = command == VendorCommand::Write ? 0x2A : 0x28;
    block[14] = 0x47;
    block[15] = 0x50;
    return block;
}

inline constexpr std::chrono::milliseconds VendorCommandTimeout{2000};

// Room for sense data. The radio's answers never depend on it; it is only there because the
// pass-through needs somewhere to put it.
inline constexpr std::uint8_t WriteSenseLength = 24;
inline constexpr std::uint8_t ReadSenseLength = 32;
inline constexpr std::uint8_t SenseAreaSize = 32;

}  // namespace quenfall
