#pragma once
// The window's runs in the history: the run observer the start-up hands the window. Each
// run that sent a first request becomes one record as its ending is shown; a history that
// cannot be written is told once, in a box of its own after the run.
#include <filesystem>
#include <string>

#include "history/history_file.h"
#include "history/history_recorder.h"
#include "upgrade/device_link.h"
#include "window/run_observer.h"

namespace quenfall::startup {

class WindowHistory final : public window::RunObserver {
public:
    // file: this user's history unless another is named.
    WindowHistory(DeviceLink& link, bool emulated, std::string program,
                  std::filesystem::path file = HistoryPath());

    void RunEnded(const window::WindowRunEnd& run) override;
    std::string NoticeAfterRun() override;

    HistoryRecorder& Recorder() { return recorder_; }

private:
    DeviceLink& link_;
    bool emulated_;
    std::string program_;
    HistoryRecorder recorder_;
};

}  // namespace quenfall::startup
