#pragma once
// The words that sum up a crate's runs, under the command line's rows and in the shop
// window's summary line alike, in the user's language.
#include <cstddef>
#include <string>

namespace quenfall {

// "3 of 4 radios upgraded" ("1 of 1 radio upgraded"), without a full stop.
std::string UpgradedSummary(std::size_t completed, std::size_t radios);

// The same as a sentence of its own: "3 of 4 radios upgraded."
std::string UpgradedSentence(std::size_t completed, std::size_t radios);

}  // namespace quenfall
