#pragma once
// What `quenfall-cli history` shows: the records a filter keeps, as a table for a terminal
// or as CSV with a header row for a spreadsheet. Pure: records in, text out.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_record.h"

namespace quenfall {

struct HistoryFilter {
    bool FailedOnly = false;                // runs that did not complete
    std::optional<std::string> Location;    // runs of the radio at this USB port
    std::optional<std::string> Since;       // runs started at or after this (SinceBound)
    std::optional<std::string> Sha256;      // runs of this one file (lowercase hex)
};

// A date "2026-12-09", or a time "2026-12-09T14:30", "2026-12-09 14:30:05", optionally with
// a final Z (every time in the history is UTC), as the lower bound of a start time; none
// when the text is no such date.
std::optional<std::string> SinceBound(std::string_view text);

bool Keeps(const HistoryFilter& filter, const HistoryRecord& record);
std::vector<HistoryRecord> Select(std::vector<HistoryRecord> records, const HistoryFilter& filter);

// One line per record under a heading line, columns aligned.
std::string HistoryTable(std::span<const HistoryRecord> records);

// A header row naming every field as the JSON form does, then one row per record.
std::string HistoryCsv(std::span<const HistoryRecord> records);

}  // namespace quenfall
