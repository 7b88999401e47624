#pragma once
// What the history says of one radio, known by its USB serial: the last run that completed
// an upgrade of it, and whether that serial was ever at two ports at once (then it names no
// one radio). Read as a stream, a line at a time: memory stays flat whatever the history's
// length, and only lines that name the serial are parsed.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "history/history_record.h"

namespace quenfall {

struct RadioHistory {
    std::optional<HistoryRecord> LastCompleted;  // newest last in the file, as written
    // Two runs of this serial at different ports whose times overlap.
    bool SeenAtTwoPortsAtOnce = false;
    std::string Problem;  // the file exists but cannot be read, in words
};

RadioHistory LookUpRadio(const std::filesystem::path& file, std::string_view serial);

}  // namespace quenfall
