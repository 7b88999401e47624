#include "runs/crate_summary.h"

namespace quenfall {

std::string UpgradedSummary(std::size_t completed, std::size_t radios) {
    return std::to_string(completed) + " of " + std::to_string(radios) + (radios == 1 ? " radio" : " radios") +
           " upgraded";
}

}  // namespace quenfall
