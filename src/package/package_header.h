#pragma once
// The 128-byte plain header at the start of every package file (32-bit fields little-endian):
//   0..11 section ids | 12..59 section sizes | 60..107 section offsets (from file start)
//   108 RequestVariant | 109 ScrambleMode | 110 CodeBank | 111 ModelCode | 112..127 reserved
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/command_frame.h"

namespace quenfall {

inline constexpr std::size_t HeaderSize = 128;
inline constexpr std::size_t SlotCount = 12;
inline constexpr std::size_t CheckValueSize = 2;
inline constexpr std::size_t MinimumPackageSize = HeaderSize + CheckValueSize;
inline constexpr std::size_t PackageImageCapacity = 10 * 1024 * 1024;

struct PackageHeader {
    std::array<std::uint8_t, SlotCount> SectionIds{};
    std::array<std::uint32_t, SlotCount> SectionSizes{};    // 0: slot empty
    std::array<std::uint32_t, SlotCount> SectionOffsets{};  // file offsets, header included
    std::uint8_t RequestVariant = 0;
    std::uint8_t ScrambleMode = 0;
    std::uint8_t CodeBank = 0;
    std::uint8_t ModelCode = 0;
    std::array<std::uint8_t, 16> Reserved{};
};

PackageHeader ParseHeader(std::span<const std::uint8_t, HeaderSize> bytes);
void WriteHeader(const PackageHeader& header, std::span<std::uint8_t, HeaderSize> bytes);

// The ids of the present slots, in slot order: the order sections are announced and sent.
struct SectionList {
    std::array<std::uint8_t, SlotCount> Ids{};
    std::uint8_t Count = 0;
    std::span<const std::uint8_t> View() const { return {Ids.data(), Count}; }
};

bool SlotPresent(const PackageHeader& header, std::size_t slot);
std::uint8_t CountSections(const PackageHeader& header);
SectionList BuildSectionList(const PackageHeader& header);
// Blocks of 2048 bytes a section of this size needs (a partial last block counts).
std::uint32_t BlocksFor(std::uint32_t sectionSize);
// Every block of every present slot, blocks the upload leaves out included.
std::int32_t CountTotalBlocks(const PackageHeader& header);

}  // namespace quenfall
