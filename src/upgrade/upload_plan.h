#pragma once
// Which blocks a run sends. Under ScrambleMode 0 the radio is never sent the first four
// blocks (8192 bytes) of section 0 when that section opens the upload: the upload begins it
// at block 4. The sequencer starts its upload where FirstBlockSent says; the command line
// counts from the same rule what a package's run will send.
#include <cstdint>

#include "package/package_header.h"

namespace quenfall {

inline constexpr std::int32_t FirstBlockOfSectionZero = 4;  // under ScrambleMode 0

// The block the upload starts at in the section it opens with; every later section starts
// at block 0, section 0 included.
std::int32_t FirstBlockSent(std::uint8_t firstSectionId, std::uint8_t scrambleMode);

struct UploadPlan {
    std::int32_t TotalBlocks = 0;  // every block of every present section
    std::int32_t SentBlocks = 0;   // the block requests a whole run sends
    // Blocks at the start of the first section that are not sent (0 when none are).
    std::int32_t LeadingBlocksNotSent = 0;
    // Set when the first section has no block at or past FirstBlockSent: the run still sends
    // that one block request, of filler past the section's end.
    bool SendsFillerBlock = false;
};

UploadPlan PlanUpload(const PackageHeader& header, std::uint8_t scrambleMode);

}  // namespace quenfall
