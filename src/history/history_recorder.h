#pragma once
// What a front end (a CLI command, the window, a run rig of several radios) uses to keep its
// runs in the history. A record that cannot be written never stops or fails the run: the
// recorder keeps the first problem, and the front end tells the user once, after its runs,
// in plain words (TakeNotice). Safe to use from several threads.
#include <filesystem>
#include <mutex>
#include <string>

#include "history/history_record.h"

namespace quenfall {

class HistoryRecorder {
public:
    // The history of this user (HistoryPath) unless another file is named.
    HistoryRecorder();
    explicit HistoryRecorder(std::filesystem::path file);

    // Appends the record; false when it could not be written.
    bool Record(const HistoryRecord& record);

    // The first time after a record could not be written: what to tell the user. Empty
    // otherwise, and on every later call.
    std::string TakeNotice();

    const std::filesystem::path& File() const { return file_; }

private:
    std::filesystem::path file_;
    std::mutex mutex_;
    std::string problem_;
    bool told_ = false;
};

// "This upgrade was not recorded in the history: <problem>. ..."
std::string NotRecordedNotice(const std::string& problem);

}  // namespace quenfall
