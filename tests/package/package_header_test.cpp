#include "package/package_header.h"

#include <gtest/gtest.h>

#include <vector>

namespace quenfall {
namespace {

TEST(PackageHeader, FieldsSitWhereTheFileFormatPutsThem) {
    std::array<std::uint8_t, HeaderSize> raw{};
    raw[0] = 7;                                                // id of slot 0
    raw[12] = 0x45; raw[13] = 0x23; raw[14] = 0x01;            // size of slot 0, LE
    raw[60 + 4 * 11] = 0x80; raw[60 + 4 * 11 + 3] = 0x01;      // offset of slot 11, LE
    raw[108] = 1; raw[109] = 2; raw[110] = 3; raw[111] = 17;
    raw[127] = 0xAB;
    const PackageHeader h = ParseHeader(raw);
    EXPECT_EQ(h.SectionIds[0], 7);
    EXPECT_EQ(h.SectionSizes[0], 0x012345u);
    EXPECT_EQ(h.SectionOffsets[11], 0x01000080u);
    EXPECT_EQ(h.RequestVariant, 1);
    EXPECT_EQ(h.ScrambleMode, 2);
    EXPECT_EQ(h.CodeBank, 3);
    EXPECT_EQ(h.ModelCode, 17);
    EXPECT_EQ(h.Reserved[15], 0xAB);

    std::array<std::uint8_t, HeaderSize> back{};
    WriteHeader(h, back);
    EXPECT_EQ(back, raw);
}

TEST(SectionTable, PresentSlotsAreListedInSlotOrder) {
    PackageHeader h;
    for (std::size_t slot : {5u, 0u, 3u}) {
        h.SectionIds[slot] = static_cast<std::uint8_t>(slot);
        h.SectionSizes[slot] = 100;
    }
    h.SectionIds[7] = 7;  // an id in an empty slot is not listed
    const SectionList list = BuildSectionList(h);
    EXPECT_EQ(CountSections(h), 3);
    ASSERT_EQ(list.Count, 3);
    EXPECT_EQ(list.Ids[0], 0);
    EXPECT_EQ(list.Ids[1], 3);
    EXPECT_EQ(list.Ids[2], 5);
}

TEST(SectionTable, BlocksRoundUpPerSection) {
    EXPECT_EQ(BlocksFor(0), 0u);
    EXPECT_EQ(BlocksFor(1), 1u);
    EXPECT_EQ(BlocksFor(2048), 1u);
    EXPECT_EQ(BlocksFor(2049), 2u);
    EXPECT_EQ(BlocksFor(5000), 3u);
    PackageHeader h;
    h.SectionSizes[0] = 5000;
    h.SectionSizes[2] = 2048;
    h.SectionSizes[11] = 20480;
    EXPECT_EQ(CountTotalBlocks(h), 3 + 1 + 10);
}

}  // namespace
}  // namespace quenfall
