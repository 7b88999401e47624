// A present slot whose id names an empty slot is accepted by the loader; the upload then
// sends that id as a section of size 0 (one block of filler) while the listed slot's own
// bytes never go out, and the run ends with " Program upgrade is complete!". The loader must
// refuse such a package; this test fails until it does.
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

TEST(SectionTable, AnIdNamingAnotherPresentSlotStillLoads) {
    // Slot 0 lists id 1, and slot 1 describes 1000 bytes inside the file: the lookup by id
    // finds a real section, so the package is sound.
    PackageHeader h = SlotZeroNaming(1);
    h.SectionIds[1] = 1;
    h.SectionSizes[1] = 1000;
    h.SectionOffsets[1] = HeaderSize + 3000;
    const std::vector<std::uint8_t> body(4000, 0x5A);
    const LoadResult r = LoadPackageImage(WritePackage(h, body));
    ASSERT_EQ(r.Verdict, LoadVerdict::Accepted) << r.Message;
    EXPECT_EQ(r.Accepted->SectionData(1).size(), 1000u);
}

}  // namespace
}  // namespace quenfall
