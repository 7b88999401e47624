// quenfall-cli station: every radio plugged in is upgraded with one package, once, as it
// arrives; one line per radio as its run ends.
#include <cerrno>
#include <chrono>
#include <deque>
#include <fstream>
#include <iostream>
#include <optional>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "cli/crate_report.h"
#include "cli/run_events.h"
#include "cli/stop_requests.h"
#include "package/package_loader.h"
#include "runs/crate_summary.h"
#include "runs/model_change.h"
#include "runs/run_record.h"
#include "runs/station.h"
#include "startup/radio_choice.h"
#include "text/translation.h"

namespace quenfall::cli {

namespace {

constexpr std::string_view StationUsage =
    "usage: quenfall-cli station FILE [--count N] [--report REPORT] [--events EVENTS]\n"
    "                            [--emulate N] [--emulate-fault FAULT[@K]] [--allow-model-change]";
// How often the bus and the runs are looked at: an arrival waits at most this long.
constexpr std::chrono::milliseconds PollInterval{100};
// The widths of the location and node columns, so that the lines of radios align as they come.
constexpr std::size_t LocationWidth = 8;
constexpr std::size_t NodeWidth = 8;

int StationUsageError(std::string_view what) {
    std::cerr << "quenfall-cli station: " << what << '\n' << StationUsage << '\n';
    return 2;
}

std::optional<std::size_t> Count(std::string_view word) {
    if (word.empty() || word.size() > 6 || word.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return static_cast<std::size_t>(std::stoul(std::string(word)));
}

}  // namespace

int StationCommand(const Arguments& args) {
    std::optional<std::string> file;
    std::optional<std::string> reportPath;
    std::optional<std::string> eventsPath;
    std::optional<std::size_t> count;
    bool allowModelChange = false;
    RadioRequest request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--emulate") {
            request.Emulate = true;
            if (!hasValue)
                return StationUsageError(text::Fill(text::Tr("--emulate needs a number of radios, {lowest} to {highest}"),
                                                    {{"lowest", "1"}, {"highest", std::to_string(MaxEmulatedRadios)}}));
            const std::optional<std::size_t> n = Count(args[i + 1]);
            if (!n || *n < 1 || *n > MaxEmulatedRadios) return StationUsageError(EmulateRangeError(args[i + 1]));
            request.Radios = *n;
            ++i;
        } else if (a == "--allow-model-change") {
            allowModelChange = true;
        } else if (a == "--count") {
            count = hasValue ? Count(args[i + 1]) : std::nullopt;
            if (!count || *count == 0) return StationUsageError(text::Tr("--count takes a number of radios from 1"));
            ++i;
        } else if (a == "--emulate-fault") {
            const std::optional<EmulationFault> fault = hasValue ? ReadEmulationFault(args[i + 1]) : std::nullopt;
            if (!fault) return StationUsageError(FaultNamesText(EmulationFaultNames()));
            request.Faults.push_back(*fault);
            ++i;
        } else if (a == "--report" || a == "--events") {
            if (!hasValue) return StationUsageError(NeedsFileNameText(a));
            (a == "--report" ? reportPath : eventsPath) = args[++i];
        } else if (a.starts_with("-") && a != "-") {
            return StationUsageError(UnknownOptionText(a));
        } else if (file) {
            return StationUsageError(OneFileAtATimeText());
        } else {
            file = a;
        }
    }
    if (!file) {
        std::cerr << StationUsage << '\n';
        return 2;
    }
    if (!request.Faults.empty() && !request.Emulate) return StationUsageError(FaultNeedsEmulateText());
    for (const EmulationFault& f : request.Faults)
        if (f.Radio > request.Radios) return StationUsageError(FaultRadioOutOfRangeText(f.Radio, request.Radios));
    // The emulated radios are all there is: the station ends once each has had its run.
    if (request.Emulate && !count) count = request.Radios;

    const LoadResult loaded = LoadPackage(PathFromArgument(*file));
    if (!loaded.Reason.empty()) {
        std::cerr << loaded.ReasonText.Translated() << '\n';
        return loaded.Verdict == LoadVerdict::Unreadable ? 2 : 1;
    }
    const std::shared_ptr<const Package> package = loaded.Accepted;
    const std::u8string name = PathFromArgument(*file).filename().u8string();
    const std::string packageName(name.begin(), name.end());

    // The report's place is checked before any radio is touched.
    std::ofstream report;
    if (reportPath) {
        if (std::string why; !OpenToWrite(report, PathFromArgument(*reportPath), why)) {
            std::cerr << "quenfall-cli station: " << CannotWriteReportText(*reportPath, why) << '\n';
            return 2;
        }
    }

    std::unique_ptr<RunEvents> events;
    if (eventsPath) {
        std::string why;
        events = RunEvents::Open(*eventsPath, why);
        if (!events) {
            std::cerr << "quenfall-cli station: " << CannotWriteEventsText(*eventsPath, why) << '\n';
            return 2;
        }
    }
    // With the events on standard output, what people read goes to standard error.
    std::ostream& human = events && events->OnStandardOutput() ? std::cerr : std::cout;

    const std::unique_ptr<Radios> radios = ChooseRadios(request);
    if (!radios->Reachable()) {
        std::cerr << "quenfall-cli station: " << text::Tr("this system has no link to the radio; only --emulate works here")
                  << '\n';
        return 1;
    }
    const std::unique_ptr<RadioSource> source = radios->Station(package->Selection);
    StopRequests stops;
    FlashOptions options;
    options.StopRequested = &StopRequests::Requested;
    Station station(*source, package, options);
    std::deque<RunEventsListener> told;  // one per run, for as long as the station lasts
    if (events) {
        station.TellRunsTo([&](const RadioDrive& drive) { return &told.emplace_back(*events, drive.Location, drive.Serial); });
    }
    HistoryRecorder history;
    bool historyTold = false;
    // A radio whose history says it took another model code's package: its run does not
    // start unless the user allowed it beforehand; the answer is recorded either way.
    station.GateStarts([&](const RadioDrive& drive, const std::vector<RadioDrive>& scan) -> std::optional<RadioOutcome> {
        const std::optional<ModelChange> change = FindModelChange(history.File(), drive, scan, *package);
        if (!change) return std::nullopt;
        const std::string where = drive.Location.empty() ? drive.Node : drive.Location;
        std::cerr << "quenfall-cli station: " << where << ": " << ModelChangeFacts(*change) << '\n';
        // The answer is recorded here: a run that sent nothing is otherwise not recorded.
        RadioOutcome answer = ModelChangeAnswer(*change, drive, allowModelChange);
        history.Record(RecordOfRun(answer, package.get(), packageName, source->Emulated()));
        if (!allowModelChange) {
            std::cerr << "quenfall-cli station: " << where << ": " << ModelChangeRefusedText() << '\n';
            return answer;
        }
        std::cerr << "quenfall-cli station: " << where << ": " << ModelChangeAllowedText() << '\n';
        return std::nullopt;
    });
    for (;;) {
        // Once stopped, the runs going on end and are recorded; no new one starts.
        const bool stopped = StopRequests::Requested();
        const bool startNew = !stopped && (!count || station.Runs().size() < *count);
        const Station::Changes changes = station.Poll(std::chrono::steady_clock::now(), startNew);
        for (std::size_t index : changes.Ended) {
            const RadioOutcome& outcome = *station.Runs()[index].Outcome;
            PrintRadioLine(human, outcome, LocationWidth, NodeWidth);
            human.flush();
            if (events) events->End(RecordOfRun(outcome, package.get(), packageName, source->Emulated()));
            std::string notice;
            stops.Finally([&] { notice = RecordRuns(history, {outcome}, *package, packageName, source->Emulated()); });
            if (!notice.empty() && !historyTold) std::cerr << "quenfall-cli: " << notice << '\n';
            historyTold = historyTold || !notice.empty();
        }
        // Emulated radios are seen off the bus, so that each one's return after its reset is
        // seen too (and not run again).
        if (stopped && !station.Running()) break;
        if (count && station.EndedRuns() >= *count && !station.Running() && !source->NextChange()) break;
        std::this_thread::sleep_for(PollInterval);
    }

    std::vector<RadioOutcome> outcomes;
    for (const Station::Run& run : station.Runs())
        if (run.Outcome) outcomes.push_back(*run.Outcome);
    std::size_t completed = 0;
    for (const RadioOutcome& o : outcomes) completed += o.Completed ? 1 : 0;
    human << UpgradedSentence(completed, outcomes.size()) << '\n';
    if (report.is_open()) {
        report << CrateReportJson(outcomes, packageName, package->StoredCheckValue(), package->Sha256, source->Emulated());
        errno = 0;
        report.close();
        if (!report) {
            std::cerr << "quenfall-cli station: " << CannotWriteReportText(*reportPath, LastFileError()) << '\n';
            return 2;
        }
    }
    if (StopRequests::Requested()) return StopRequests::ExitStatus();
    return completed == outcomes.size() ? 0 : 1;
}

}  // namespace quenfall::cli
