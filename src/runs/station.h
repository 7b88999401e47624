#pragma once
// Station mode: every radio upgraded with one package as it is plugged in, each by a run of
// its own (runs/radio_run.h), never twice in a row (runs/station_rule.h). Whoever holds the
// station (quenfall-cli station, the shop window) calls Poll now and then, on one thread;
// Poll never waits for a run.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "package/package.h"
#include "runs/radio_run.h"
#include "runs/radio_source.h"
#include "runs/station_rule.h"

namespace quenfall {

class Station {
public:
    // One radio's run, in the order the radios arrived.
    struct Run {
        RadioDrive Drive;                    // as the scan that started it found the radio
        std::unique_ptr<RadioRun> Going;     // none once it has ended
        std::optional<RadioOutcome> Outcome;  // once it has ended, judged by the source
        bool Held = false;                   // neither started nor ended: waits for Release
    };
    struct Changes {
        std::vector<std::size_t> Started;  // indices into Runs()
        std::vector<std::size_t> Ended;
        std::vector<std::size_t> Held;
    };

    Station(RadioSource& radios, std::shared_ptr<const Package> package, FlashOptions options = {},
            std::chrono::milliseconds restartWait = StationRestartWait);
    // Waits for the runs still going on.
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Takes the outcome of every run that has ended (the source judges it and hears of it),
    // then scans the bus and starts a run for each radio the rule lets through; with startNew
    // false (the station has run as many radios as it was asked to) it only scans.
    Changes Poll(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now(), bool startNew = true);
    // Another run for the radio at location once it is on the bus (the next Poll).
    bool Retry(const std::string& location) { return rule_.Retry(location); }
    // Who is told of each run's changes (on the run's thread): the listener of the radio it
    // is given, which must outlive the run; none when it returns null.
    void TellRunsTo(std::function<RunListener*(const RadioDrive&)> listenerFor) { listenerFor_ = std::move(listenerFor); }
    // A radio upgraded with this package before the station began: not upgraded again.
    void Known(const RadioDrive& drive) { rule_.Known(drive); }
    // Asked before each run starts, with the scan the radio was found in: an outcome keeps
    // the run from starting and stands as its end (a radio whose history says it took
    // another model's package, say); none lets it start.
    using StartGate = std::function<std::optional<RadioOutcome>(const RadioDrive&, const std::vector<RadioDrive>&)>;
    void GateStarts(StartGate gate) { gate_ = std::move(gate); }
    // Asked before the gate, for an answer that cannot be given inside Poll (a window's
    // question, whose box would run the window's timers, and so Poll, while it is open):
    // true holds the run. A held run neither starts nor ends, its radio counted as running
    // by the rule, until Release.
    using StartHold = std::function<bool(const RadioDrive&, const std::vector<RadioDrive>&)>;
    void HoldStarts(StartHold hold) { hold_ = std::move(hold); }
    // The answer for held run index: an outcome stands as its end, as the gate's would; none
    // starts it, provided a fresh scan still finds its radio (else it ends as not found,
    // having sent nothing). Returns the run among Started or Ended; nothing for a run not held.
    Changes Release(std::size_t index, std::optional<RadioOutcome> refused);

    const std::vector<Run>& Runs() const { return runs_; }
    bool Running() const;
    std::size_t EndedRuns() const;
    const StationRule& Rule() const { return rule_; }
    // What the last Poll found on the bus.
    const std::vector<RadioDrive>& LastScan() const { return lastScan_; }
    const std::shared_ptr<const Package>& LoadedPackage() const { return package_; }

private:
    void Start(std::size_t index);
    // A run that never started has ended as it began: the rule counts the radio as done
    // with, and the radio is let go as after any run.
    void EndUnstarted(std::size_t index, RadioOutcome outcome);

    RadioSource& radios_;
    std::shared_ptr<const Package> package_;
    FlashOptions options_;
    StationRule rule_;
    std::vector<Run> runs_;
    std::vector<RadioDrive> lastScan_;
    std::function<RunListener*(const RadioDrive&)> listenerFor_;
    StartGate gate_;
    StartHold hold_;
};

}  // namespace quenfall
