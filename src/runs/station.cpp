#include "runs/station.h"

#include <algorithm>

#include "upgrade/status_texts.h"

namespace quenfall {

Station::Station(RadioSource& radios, std::shared_ptr<const Package> package, FlashOptions options,
                 std::chrono::milliseconds restartWait)
    : radios_(radios), package_(std::move(package)), options_(options), rule_(restartWait) {}

Station::~Station() {
    for (Run& run : runs_) run.Going.reset();
}

bool Station::Running() const {
    return std::any_of(runs_.begin(), runs_.end(), [](const Run& run) { return run.Going != nullptr || run.Held; });
}

std::size_t Station::EndedRuns() const {
    return static_cast<std::size_t>(
        std::count_if(runs_.begin(), runs_.end(), [](const Run& run) { return run.Outcome.has_value(); }));
}

Station::Changes Station::Poll(std::chrono::steady_clock::time_point now, bool startNew) {
    Changes changes;
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        Run& run = runs_[i];
        if (!run.Going || !run.Going->Ended()) continue;
        std::vector<RadioOutcome> outcome{run.Going->Outcome()};
        run.Going.reset();
        // What the radio found wrong fails a run whose dialogue went through.
        radios_.Judge(outcome, *package_);
        run.Outcome = std::move(outcome.front());
        rule_.Ended(StationLocation(run.Drive));
        radios_.RunEnded(run.Drive);
        changes.Ended.push_back(i);
    }
    lastScan_ = radios_.Drives();
    // A station that takes no more radios only lets its radios come and go.
    if (!startNew) return changes;
    for (const RadioDrive& drive : rule_.Seen(lastScan_, now)) {
        Run& run = runs_.emplace_back();
        run.Drive = drive;
        if (hold_ && hold_(drive, lastScan_)) {
            run.Held = true;
            changes.Held.push_back(runs_.size() - 1);
            continue;
        }
        if (std::optional<RadioOutcome> refused = gate_ ? gate_(drive, lastScan_) : std::nullopt) {
            EndUnstarted(runs_.size() - 1, std::move(*refused));
            changes.Ended.push_back(runs_.size() - 1);
            continue;
        }
        Start(runs_.size() - 1);
        changes.Started.push_back(runs_.size() - 1);
    }
    return changes;
}

void Station::Start(std::size_t index) {
    Run& run = runs_[index];
    run.Going = std::make_unique<RadioRun>(package_, radios_.Bind(run.Drive), options_,
                                           listenerFor_ ? listenerFor_(run.Drive) : nullptr);
}

void Station::EndUnstarted(std::size_t index, RadioOutcome outcome) {
    Run& run = runs_[index];
    run.Outcome = std::move(outcome);
    rule_.Ended(StationLocation(run.Drive));
    radios_.RunEnded(run.Drive);
}

Station::Changes Station::Release(std::size_t index, std::optional<RadioOutcome> refused) {
    Changes changes;
    if (index >= runs_.size() || !runs_[index].Held) return changes;
    Run& run = runs_[index];
    run.Held = false;
    if (refused) {
        EndUnstarted(index, std::move(*refused));
        changes.Ended.push_back(index);
        return changes;
    }
    // The answer may have taken a while: the radio may have left, or be back under another
    // name.
    lastScan_ = radios_.Drives();
    const std::string location = StationLocation(run.Drive);
    const auto there = std::find_if(lastScan_.begin(), lastScan_.end(),
                                    [&](const RadioDrive& drive) { return StationLocation(drive) == location; });
    if (there == lastScan_.end()) {
        RadioOutcome gone;
        gone.Drive = run.Drive;
        gone.LastNode = run.Drive.Node;
        gone.Outcome = std::string(NoDeviceText);
        gone.Start = gone.End = std::chrono::system_clock::now();
        EndUnstarted(index, std::move(gone));
        changes.Ended.push_back(index);
        return changes;
    }
    run.Drive = *there;
    Start(index);
    changes.Started.push_back(index);
    return changes;
}

}  // namespace quenfall
