// Section tables whose listed ids would lose a section's bytes while the upload still ended
// with " Program upgrade is complete!": an id naming an empty slot (a size-0 section goes out
// instead), and one id listed by two slots (one section twice, the other never).
#include <gtest/gtest.h>

#include <vector>

#include "package/package_loader.h"
#include "package/package_writer.h"

namespace quenfall {
namespace {

PackageHeader SlotZeroNaming(std::uint8_t id) {
    PackageHeader h;
    h.ModelCode = 0;
    h.ScrambleMode = 1;
    h.SectionIds[0] = id;
    h.SectionSizes[0] = 3000;
    h.SectionOffsets[0] = HeaderSize;
    return h;
}

TEST(SectionTable, AnIdNamingAnEmptySlotIsRefused) {
    const std::vector<std::uint8_t> body(3000, 0x5A);
    const LoadResult r = LoadPackageImage(WritePackage(SlotZeroNaming(1), body));
    EXPECT_EQ(r.Verdict, LoadVerdict::Refused);
    EXPECT_EQ(r.Message, PackageBadSectionTableText);
    EXPECT_EQ(r.Accepted, nullptr);
}

TEST(SectionTable, TwoSlotsListingOneIdAreRefused) {
    // Slots 0 and 1 both list id 1: section 1 would be sent twice and slot 0's 3000 bytes
    // never, while the run still ended in success.
    PackageHeader h = SlotZeroNaming(1);
    h.SectionIds[1] = 1;
    h.SectionSizes[1] = 1000;
    h.SectionOffsets[1] = HeaderSize + 3000;
    const std::vector<std::uint8_t> body(4000, 0x5A);
    const LoadResult r = LoadPackageImage(WritePackage(h, body));
    EXPECT_EQ(r.Verdict, LoadVerdict::Refused);
    EXPECT_EQ(r.Message, PackageBadSectionTableText);
    EXPECT_EQ(r.Accepted, nullptr);
}

TEST(SectionTable, SlotsListingEachOthersIdsStillLoad) {
    // Slot 0 lists id 1 and slot 1 lists id 0: each section is still sent exactly once.
    PackageHeader h = SlotZeroNaming(1);
    h.SectionIds[1] = 0;
    h.SectionSizes[1] = 1000;
    h.SectionOffsets[1] = HeaderSize + 3000;
    const std::vector<std::uint8_t> body(4000, 0x5A);
    const LoadResult r = LoadPackageImage(WritePackage(h, body));
    ASSERT_EQ(r.Verdict, LoadVerdict::Accepted) << r.Message;
    EXPECT_EQ(r.Accepted->SectionData(1).size(), 1000u);
    EXPECT_EQ(r.Accepted->SectionData(0).size(), 3000u);
}

}  // namespace
}  // namespace quenfall
