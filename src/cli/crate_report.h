#pragma once
// What a crate's runs leave behind: the summary under the progress rows, and the JSON
// report a shop keeps for its records (--report).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "runs/radio_run.h"
#include "history/utc_time.h"

namespace quenfall::cli {

// A radio's line: location and node padded to the widths, time taken, outcome; under it, for
// a communication error, what the system saw of the command that failed.
void PrintRadioLine(std::ostream& out, const RadioOutcome& outcome, std::size_t locationWidth, std::size_t nodeWidth);

// One line per radio: location, node, outcome and time taken; then how many completed.
// columns: the terminal's width, which no line may reach; 0 for no limit.
void PrintCrateSummary(std::ostream& out, const std::vector<RadioOutcome>& outcomes, std::size_t columns = 0);

// A JSON array with one record per radio: location, node (at the start and at the end),
// the radio's USB serial and whether it was emulated, package name, check value and SHA-256, outcome, status texts in order, blocks sent, start and end
// time (UTC, ISO 8601, milliseconds).
std::string CrateReportJson(const std::vector<RadioOutcome>& outcomes, std::string_view packageName,
                            std::uint16_t checkValue, std::string_view sha256, bool emulated);

}  // namespace quenfall::cli
