#include "history/history_recorder.h"

#include <utility>

#include "history/history_file.h"
#include "history/history_json.h"
#include "text/translation.h"

namespace quenfall {

HistoryRecorder::HistoryRecorder() : HistoryRecorder(HistoryPath()) {}

HistoryRecorder::HistoryRecorder(std::filesystem::path file) : file_(std::move(file)) {}

bool HistoryRecorder::Record(const HistoryRecord& record) {
    std::string problem;
    try {
        problem = AppendHistoryLine(file_, HistoryLine(record));
    } catch (const std::exception& error) {  // out of memory, say: still no failed upgrade
        problem = error.what();
    }
    if (problem.empty()) return true;
    const std::lock_guard lock(mutex_);
    if (problem_.empty()) problem_ = std::move(problem);
    return false;
}

std::string HistoryRecorder::TakeNotice() {
    const std::lock_guard lock(mutex_);
    if (problem_.empty() || told_) return {};
    told_ = true;
    return NotRecordedNotice(problem_);
}

std::string NotRecordedNotice(const std::string& problem) {
    // Only ever shown to a person (a box, the command line's error stream), so translated here.
    // Translators: {problem} is why the history file could not be written, from the system.
    return text::Fill(text::Tr("This upgrade was not recorded in the history of upgrades ({problem}). "
                               "The upgrade itself is not affected by this."),
                      {{"problem", problem}});
}

}  // namespace quenfall
