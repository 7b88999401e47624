#include "startup/window_history.h"

#include "runs/model_change.h"
#include "runs/run_record.h"
#include "startup/radio_choice.h"

namespace quenfall::startup {

WindowHistory::WindowHistory(const DriveListLink* drives, bool emulated, std::string program,
                             std::filesystem::path file)
    : drives_(drives), emulated_(emulated), program_(std::move(program)), recorder_(std::move(file)) {}

RadioDrive WindowHistory::Radio(std::vector<RadioDrive>* scan) const {
    RadioDrive drive;
    // The window opens the first radio its scans list; the last scan tells which that is.
    if (drives_ != nullptr) {
        std::vector<RadioDrive> listed = drives_->ListedDrives();
        if (!listed.empty()) drive = listed.front();
        if (scan != nullptr) *scan = std::move(listed);
    } else if (emulated_) {
        drive = EmulatedLoneDrive();
        if (scan != nullptr) *scan = {drive};
    }
    return drive;
}

std::optional<ModelChange> WindowHistory::ModelChangeBefore(const Package& package) {
    std::vector<RadioDrive> scan;
    const RadioDrive drive = Radio(&scan);
    return FindModelChange(recorder_.File(), drive, scan, package);
}

void WindowHistory::ModelChangeAnswered(const ModelChange& change, const std::shared_ptr<const Package>& package,
                                        std::string_view packageName, bool allowed) {
    const RadioOutcome answer = ModelChangeAnswer(change, Radio(), allowed);
    recorder_.Record(RecordOfRun(answer, package.get(), packageName, emulated_, program_));
}

void WindowHistory::RunEnded(const window::WindowRunEnd& run) {
    RadioOutcome outcome;
    outcome.Drive = Radio();
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
