#pragma once
// The history's written form: one JSON object per record, on one line. Names are those of
// the crate report where they say the same thing (node, last_node, package, check_value,
// outcome, completed, blocks_sent, start, end).
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "history/history_record.h"

namespace quenfall {

// The record as one line of JSON, without the line end.
std::string HistoryLine(const HistoryRecord& record);

// The record a line holds; none for anything that is not one whole record (a line torn by
// a crash, an empty line, a field of the wrong type). Fields a line lacks keep their
// defaults, so that a history written by an older version still reads.
std::optional<HistoryRecord> ParseHistoryLine(std::string_view line);

// The records as a JSON array, one record per line, newest last.
std::string HistoryJsonArray(std::span<const HistoryRecord> records);

}  // namespace quenfall
