#include "runs/station.h"

#include <algorithm>

namespace quenfall {

Station::Station(RadioSource& radios, std::shared_ptr<const Package> package, FlashOptions options,
                 std::chrono::milliseconds restartWait)
    : radios_(radios), package_(std::move(package)), options_(options), rule_(restartWait) {}

Station::~Station() {
    for (Run& run : runs_) run.Going.reset();
}

bool Station::Running() const {
    return std::any_of(runs_.begin(), runs_.end(), [](const Run& run) { return run.Going != nullptr; });
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
        // A run kept from starting has ended as it began: the rule counts the radio as done
        // with, and the radio is let go as after any run.
        if (std::optional<RadioOutcome> refused = gate_ ? gate_(drive, lastScan_) : std::nullopt) {
            run.Outcome = std::move(refused);
            rule_.Ended(StationLocation(drive));
            radios_.RunEnded(drive);
            changes.Ended.push_back(runs_.size() - 1);
            continue;
        }
        run.Going = std::make_unique<RadioRun>(package_, radios_.Bind(drive), options_,
                                               listenerFor_ ? listenerFor_(drive) : nullptr);
        changes.Started.push_back(runs_.size() - 1);
    }
    return changes;
}

}  // namespace quenfall
