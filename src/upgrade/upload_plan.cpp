#include "upgrade/upload_plan.h"

#include <algorithm>

namespace quenfall {

std::int32_t FirstBlockSent(std::uint8_t firstSectionId, std::uint8_t scrambleMode) {
    return firstSectionId == 0 && scrambleMode == 0 ? FirstBlockOfSectionZero : 0;
}

UploadPlan PlanUpload(const PackageHeader& header, std::uint8_t scrambleMode) {
    UploadPlan plan;
    plan.TotalBlocks = CountTotalBlocks(header);
    const SectionList sections = BuildSectionList(header);
    for (std::uint8_t k = 0; k < sections.Count; ++k) {
        const std::uint8_t id = sections.Ids[k];
        // A table naming an id past the last slot is refused by the loader; a report on
        // such a file counts nothing for it.
        if (id >= SlotCount) continue;
        const auto blocks = static_cast<std::int32_t>(BlocksFor(header.SectionSizes[id]));
        const std::int32_t first = k == 0 ? FirstBlockSent(id, scrambleMode) : 0;
        // The sequencer sends a section's first block request before it compares the
        // index with the section's block count.
        plan.SentBlocks += std::max(blocks - first, 1);
        if (k == 0) {
            plan.LeadingBlocksNotSent = std::min(first, blocks);
            plan.SendsFillerBlock = first >= blocks;
        }
    }
    return plan;
}

}  // namespace quenfall
