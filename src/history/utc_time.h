#pragma once
// Times as the history and the reports write them: UTC, ISO 8601, to the millisecond.
#include <chrono>
#include <string>

namespace quenfall {

// "2026-12-09T12:34:56.789Z"
std::string UtcTimestamp(std::chrono::system_clock::time_point time);

}  // namespace quenfall
