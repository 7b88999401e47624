#include "startup/window_history.h"

#include "runs/run_record.h"
#include "startup/radio_choice.h"

namespace quenfall::startup {

WindowHistory::WindowHistory(const DriveListLink* drives, bool emulated, std::string program,
                             std::filesystem::path file)
    : drives_(drives), emulated_(emulated), program_(std::move(program)), recorder_(std::move(file)) {}

void WindowHistory::RunEnded(const window::WindowRunEnd& run) {
    RadioOutcome outcome;
    // The window opens the first radio its scans list; the last scan tells which that is.
    if (drives_ != nullptr) {
        const std::vector<RadioDrive> listed = drives_->ListedDrives();
        if (!listed.empty()) outcome.Drive = listed.front();
    } else if (emulated_) {
        outcome.Drive = EmulatedLoneDrive();
    }
    outcome.LastNode = outcome.Drive.Node;
    outcome.Start = run.Start;
    outcome.End = run.End;
    outcome.Outcome = run.Outcome;
    outcome.Completed = run.Completed;
    outcome.BlocksSent = run.BlocksSent;
    outcome.LastCommandProblem = run.LastCommandProblem;
    recorder_.Record(RecordOfRun(outcome, run.RunPackage.get(), run.PackageName, emulated_, program_));
}

std::string WindowHistory::NoticeAfterRun() { return recorder_.TakeNotice(); }

}  // namespace quenfall::startup
