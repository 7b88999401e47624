#pragma once
// Reading a history back: every whole record, in the order written (newest last). A line
// that is not one whole record, such as a last line torn by a crash or a power cut, is
// passed over and counted; it never hides the records around it.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_record.h"

namespace quenfall {

struct HistoryContents {
    std::vector<HistoryRecord> Records;
    std::size_t Unreadable = 0;  // lines passed over
    bool Missing = false;        // no history file yet: no run has been recorded
    std::string Problem;         // the file exists but cannot be read, in words
};

HistoryContents ReadHistoryText(std::string_view text);
HistoryContents ReadHistoryFile(const std::filesystem::path& file);

}  // namespace quenfall
