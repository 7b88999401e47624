#pragma once
// What `quenfall-cli history` shows: the records a filter keeps, as a table for a terminal
// or as CSV with a header row for a spreadsheet. Pure: records in, text out.
#include <array>
#include <cstddef>
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

// A text as a terminal may be given it: control characters (ESC, BEL, a line end, C1 codes)
// shown as \x1b, \x07, \x0a, \u009b instead of acting on the terminal. A package's file name
// comes from whoever made the file. keepLayout leaves tab, CR and LF, which a CSV quotes.
std::string ShownText(std::string_view text, bool keepLayout = false);

// One line per record under a heading line, columns aligned. The widths grow record by
// record, so that a long history can be written in two passes over the file instead of
// being held whole.
class HistoryTableLayout {
public:
    HistoryTableLayout();
    void Widen(const HistoryRecord& record);
    std::string Heading() const;
    void AppendRow(std::string& out, const HistoryRecord& record) const;

private:
    std::array<std::size_t, 7> width_;
};
std::string HistoryTable(std::span<const HistoryRecord> records);

// A header row naming every field as the JSON form does, then one row per record.
std::string HistoryCsvHeader();
void AppendHistoryCsvRow(std::string& out, const HistoryRecord& record);
std::string HistoryCsv(std::span<const HistoryRecord> records);

}  // namespace quenfall
