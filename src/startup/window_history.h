#pragma once
// The window's runs in the history: the run observer the start-up hands the window. Each
// run that sent a first request becomes one record as its ending is shown; a history that
// cannot be written is told once, in a box of its own after the run.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_file.h"
#include "history/history_recorder.h"
#include "platform/drive_list_link.h"
#include "window/run_observer.h"

namespace quenfall::startup {

class WindowHistory final : public window::RunObserver {
public:
    // drives: the link the window opens its radio through, whose last scan tells which radio
    // that was; null for the emulated radio. file: this user's history unless another is
    // named.
    WindowHistory(const DriveListLink* drives, bool emulated, std::string program,
                  std::filesystem::path file = HistoryPath());

    void RunEnded(const window::WindowRunEnd& run) override;
    std::string NoticeAfterRun() override;
    std::optional<ModelChange> ModelChangeBefore(const Package& package) override;
    void ModelChangeAnswered(const ModelChange& change, const std::shared_ptr<const Package>& package,
                             std::string_view packageName, bool allowed) override;

private:
    // The radio the window opens, as the last scan listed it, with that scan.
    RadioDrive Radio(std::vector<RadioDrive>* scan = nullptr) const;

    const DriveListLink* drives_;
    bool emulated_;
    std::string program_;
    HistoryRecorder recorder_;
};

}  // namespace quenfall::startup
