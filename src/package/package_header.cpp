#include "package/package_header.h"

namespace quenfall {

namespace {
std::uint32_t ReadLe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
void WriteLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
}  // namespace

PackageHeader ParseHeader(std::span<const std::uint8_t, HeaderSize> bytes) {
    PackageHeader h;
    for (std::size_t i = 0; i < SlotCount; ++i) {
        h.SectionIds[i] = bytes[i];
        h.SectionSizes[i] = ReadLe32(&bytes[12 + 4 * i]);
        h.SectionOffsets[i] = ReadLe32(&bytes[60 + 4 * i]);
    }
    h.RequestVariant = bytes[108];
    h.ScrambleMode = bytes[109];
    h.CodeBank = bytes[110];
    h.ModelCode = bytes[111];
    for (std::size_t i = 0; i < h.Reserved.size(); ++i) h.Reserved[i] = bytes[112 + i];
    return h;
}

void WriteHeader(const PackageHeader& h, std::span<std::uint8_t, HeaderSize> bytes) {
    for (std::size_t i = 0; i < SlotCount; ++i) {
        bytes[i] = h.SectionIds[i];
        WriteLe32(&bytes[12 + 4 * i], h.SectionSizes[i]);
        WriteLe32(&bytes[60 + 4 * i], h.SectionOffsets[i]);
    }
    bytes[108] = h.RequestVariant;
    bytes[109] = h.ScrambleMode;
    bytes[110] = h.CodeBank;
    bytes[111] = h.ModelCode;
    for (std::size_t i = 0; i < h.Reserved.size(); ++i) bytes[112 + i] = h.Reserved[i];
}

bool SlotPresent(const PackageHeader& header, std::size_t slot) {
    return header.SectionSizes[slot] != 0;
}

std::uint8_t CountSections(const PackageHeader& header) {
    std::uint8_t n = 0;
    for (std::size_t i = 0; i < SlotCount; ++i) n += SlotPresent(header, i) ? 1 : 0;
    return n;
}

SectionList BuildSectionList(const PackageHeader& header) {
    SectionList list;
    for (std::size_t i = 0; i < SlotCount; ++i)
        if (SlotPresent(header, i)) list.Ids[list.Count++] = header.SectionIds[i];
    return list;
}

std::uint32_t BlocksFor(std::uint32_t sectionSize) {
    return sectionSize / BlockSize + (sectionSize % BlockSize != 0 ? 1 : 0);
}

std::int32_t CountTotalBlocks(const PackageHeader& header) {
    std::int64_t total = 0;
    for (std::size_t i = 0; i < SlotCount; ++i) total += BlocksFor(header.SectionSizes[i]);
    return static_cast<std::int32_t>(total);
}

}  // namespace quenfall
