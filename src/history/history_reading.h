#pragma once
// Reading a history back: every whole record, in the order written (newest last). A line
// that is not one whole record, such as a last line torn by a crash or a power cut, is
// passed over and counted; it never hides the records around it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_record.h"

namespace quenfall {

// A record is a few hundred bytes; a line far longer is none, and is passed over without
// being held whole.
inline constexpr std::size_t MaxHistoryLine = 64 * 1024;

// What reading a history found besides its records.
struct HistoryScan {
    std::size_t Records = 0;
    std::size_t Unreadable = 0;  // lines passed over
    bool Missing = false;        // no history file yet: no run has been recorded
    std::string Problem;         // the file cannot be read, in words
    std::uint64_t Length = 0;    // bytes read
};

// Calls each for every record of the file, reading a piece at a time: memory stays that of
// one line whatever the file's size. Reads at most limit bytes, so that a second pass sees
// exactly the lines a first one did while records are appended meanwhile. The file is
// opened as the platform opens a history (OpenHistoryForReading): a file of this user's,
// never through a link. Given a needle, only lines holding it are parsed (the others are
// neither records nor unreadable): a search for one radio among a shop's years of runs.
HistoryScan ScanHistoryFile(const std::filesystem::path& file, const std::function<void(const HistoryRecord&)>& each,
                            std::uint64_t limit = std::numeric_limits<std::uint64_t>::max(),
                            std::string_view needle = {});

// Every record at once, for histories known to be small (a test's, a window's session).
struct HistoryContents {
    std::vector<HistoryRecord> Records;
    std::size_t Unreadable = 0;
    bool Missing = false;
    std::string Problem;
};

HistoryContents ReadHistoryText(std::string_view text);
HistoryContents ReadHistoryFile(const std::filesystem::path& file);

}  // namespace quenfall
