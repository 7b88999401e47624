#include "runs/crate_summary.h"

#include "text/translation.h"

namespace quenfall {

std::string UpgradedSummary(std::size_t completed, std::size_t radios) {
    return text::Fill(text::TrPlural("{done} of {count} radio upgraded", "{done} of {count} radios upgraded", radios),
                      {{"done", std::to_string(completed)}, {"count", std::to_string(radios)}});
}

std::string UpgradedSentence(std::size_t completed, std::size_t radios) {
    return text::Fill(text::TrPlural("{done} of {count} radio upgraded.", "{done} of {count} radios upgraded.", radios),
                      {{"done", std::to_string(completed)}, {"count", std::to_string(radios)}});
}

}  // namespace quenfall
