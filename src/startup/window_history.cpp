#include "startup/window_history.h"

#include "history/utc_time.h"
#include "protocol/key_tables.h"
#include "link/drive_list_link.h"

namespace quenfall::startup {

WindowHistory::WindowHistory(DeviceLink& link, bool emulated, std::string program, std::filesystem::path file)
    : link_(link), emulated_(emulated), program_(std::move(program)), recorder_(std::move(file)) {}

void WindowHistory::RunEnded(const window::WindowRunEnd& run) {
    HistoryRecord record;
    record.Start = UtcTimestamp(run.Start);
    record.End = UtcTimestamp(run.End);
    record.Program = program_;
    record.Version = QUENFALL_VERSION;
    record.KeySet = std::string(KeySetFingerprint());
    if (run.RunPackage) SetPackageFacts(record, *run.RunPackage, run.PackageName);
    // The window opens the first radio its scans list; the last scan tells which that is.
    if (const auto* drives = dynamic_cast<const DriveListLink*>(&link_)) {
        const std::vector<RadioDrive> listed = drives->ListedDrives();
        if (!listed.empty()) {
            record.Location = listed.front().Location;
            record.Node = record.LastNode = listed.front().Node;
            record.Serial = listed.front().Serial;
        }
    } else if (emulated_) {
        record.Node = record.LastNode = "emulated";
    }
    record.Outcome = run.Outcome;
    record.Completed = run.Completed;
    record.BlocksSent = run.BlocksSent;
    record.LastCommandProblem = run.LastCommandProblem;
    record.Emulated = emulated_;
    recorder_.Record(record);
}

std::string WindowHistory::NoticeAfterRun() { return recorder_.TakeNotice(); }

}  // namespace quenfall::startup
