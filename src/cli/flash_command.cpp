// quenfall-cli flash: one whole upgrade in real time, or one per radio of a crate.
#include "cli/flash_command.h"
#include "cli/terminal_view.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <optional>
#include <utility>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "platform/platform.h"
#include "cli/crate_command.h"
#include "cli/dialogue_trace_file.h"
#include "cli/run_events.h"
#include "cli/stop_requests.h"
#include "startup/radio_preflight.h"
#include "runs/model_change.h"
#include "runs/run_record.h"
#include "upgrade/run_tally.h"
#include "package/package_loader.h"
#include "startup/radio_choice.h"
#include "upgrade/status_texts.h"
#include "upgrade/upload_plan.h"
#include "text/translation.h"

namespace quenfall::cli {

namespace {

constexpr std::string_view FlashUsage =
    "usage: quenfall-cli flash FILE [--emulate [N]] [--device NODE_OR_LOCATION | --all]\n"
    "                          [--report REPORT] [--trace TRACE] [--events EVENTS]\n"
    "                          [--emulate-fault FAULT[@K]] [--allow-model-change]";

int UsageError(std::string_view what) {
    std::cerr << "quenfall-cli flash: " << what << '\n' << FlashUsage << '\n';
    return 2;
}

}  // namespace

int FlashCommand(const Arguments& args) {
    std::optional<std::string> file;
    std::optional<std::string> tracePath;
    std::optional<std::string> reportPath;
    std::optional<std::string> device;
    std::optional<std::string> eventsPath;
    bool all = false;
    bool allowModelChange = false;
    bool emulate = false;
    std::size_t emulated = 1;
    bool countGiven = false;
    std::vector<EmulationFault> faults;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--emulate") {
            emulate = true;
            if (i + 1 < args.size() && IsCountWord(args[i + 1])) {
                const std::string& word = args[++i];
                if (word.size() > 3 || std::stoul(word) < 1 || std::stoul(word) > MaxEmulatedRadios)
                    return UsageError(EmulateRangeError(word));
                emulated = std::stoul(word);
                countGiven = true;
            }
        } else if (a == "--all") {
            all = true;
        } else if (a == "--allow-model-change") {
            allowModelChange = true;
        } else if (a == "--emulate-fault") {
            const std::optional<EmulationFault> fault =
                i + 1 < args.size() ? ReadEmulationFault(args[i + 1]) : std::nullopt;
            if (!fault) return UsageError(FaultNamesText(EmulationFaultNames()));
            faults.push_back(*fault);
            ++i;
        } else if (a == "--trace" || a == "--report" || a == "--device" || a == "--events") {
            if (i + 1 >= args.size())
                return UsageError(a == "--device" ? text::Fill(text::Tr("{option} needs a radio"), {{"option", a}})
                                                  : NeedsFileNameText(a));
            (a == "--trace" ? tracePath : a == "--report" ? reportPath : a == "--events" ? eventsPath : device) = args[++i];
        } else if (a.starts_with("-") && a != "-") {
            return UsageError(UnknownOptionText(a));
        } else if (file) {
            // After --emulate, a word that is not a count is no second file either.
            if (i > 0 && args[i - 1] == "--emulate") return UsageError(EmulateRangeError(a));
            return UsageError(OneFileAtATimeText());
        } else {
            file = a;
        }
    }
    if (!file) {
        std::cerr << FlashUsage << '\n';
        return 2;
    }
    const bool perRadio = all || device;
    if (all && device) return UsageError(text::Tr("--device and --all exclude each other"));
    if (reportPath && !perRadio) return UsageError(text::Tr("--report needs --all or --device"));
    if (tracePath && all) return UsageError(text::Tr("--trace records one radio's dialogue: use it with --device"));
    if (countGiven && !perRadio) return UsageError(text::Tr("--emulate N needs --all or --device"));
    if (!faults.empty() && !emulate) return UsageError(FaultNeedsEmulateText());
    for (const EmulationFault& f : faults)
        if (f.Radio > emulated) return UsageError(FaultRadioOutOfRangeText(f.Radio, emulated));

    std::unique_ptr<RunEvents> events;
    if (eventsPath) {
        std::string why;
        events = RunEvents::Open(*eventsPath, why);
        if (!events) {
            std::cerr << "quenfall-cli flash: " << CannotWriteEventsText(*eventsPath, why) << '\n';
            return 2;
        }
    }
    // With the events on standard output, what people read goes to standard error.
    const bool eventsOnStdout = events && events->OnStandardOutput();
    std::ostream& human = eventsOnStdout ? std::cerr : std::cout;

    const std::u8string name = PathFromArgument(*file).filename().u8string();
    const std::string packageName(name.begin(), name.end());
    const LoadResult loaded = LoadPackage(PathFromArgument(*file));
    if (!loaded.Reason.empty()) {
        // Refused before any radio was looked for; the events end the same way.
        std::cerr << loaded.ReasonText.Translated() << '\n';
        if (events) {
            RadioOutcome refused;
            refused.Start = refused.End = std::chrono::system_clock::now();
            refused.Outcome = loaded.Reason;
            HistoryRecord record = RecordOfRun(refused, nullptr, packageName, emulate);
            record.Package = packageName;
            events->End(record);
        }
        return loaded.Verdict == LoadVerdict::Unreadable ? 2 : 1;
    }
    const std::shared_ptr<const Package> package = loaded.Accepted;

    std::optional<DialogueTraceFile> trace;
    if (tracePath) {
        trace.emplace(PathFromArgument(*tracePath));
        if (!trace->IsOpen()) {
            std::cerr << "quenfall-cli flash: " << CannotWriteTraceText(*tracePath, trace->Why()) << '\n';
            return 2;
        }
    }

    RadioRequest radioRequest;
    radioRequest.Emulate = emulate;
    radioRequest.Radios = emulated;
    radioRequest.Faults = faults;
    const std::unique_ptr<Radios> radios = ChooseRadios(radioRequest);
    StopRequests stops;

    if (perRadio) {
        CrateRequest request;
        request.Chosen = radios.get();
        request.Loaded = package;
        request.PackageName = packageName;
        request.Device = device;
        request.ReportPath = reportPath;
        request.Trace = trace ? &*trace : nullptr;
        request.Events = events.get();
        request.Stops = &stops;
        request.AllowModelChange = allowModelChange;
        return FlashCrateCommand(request);
    }

    TerminalView view(human, std::cerr, !eventsOnStdout && StdoutIsTerminal(), TerminalColumns);
    RunTally tally(trace ? &*trace : nullptr);
    FlashOptions options;
    options.Trace = &tally;
    bool stopped = false;
    options.StopRequested = &StopRequests::Requested;
    options.Stopped = &stopped;
    HistoryRecorder history;
    RadioOutcome outcome;

    // The run's record goes into the history before the command reports how it ended.
    const auto recorded = [&](int status) {
        outcome.End = std::chrono::system_clock::now();
        outcome.Completed = status == 0;
        outcome.BlocksSent = tally.Blocks();
        outcome.FramesSent = tally.Frames();
        outcome.LastCommandProblem = tally.LastNonGood();
        if (outcome.LastNode.empty()) outcome.LastNode = outcome.Drive.Node;
        if (stopped) outcome.Outcome = InterruptedOutcome;
        if (outcome.Outcome.empty()) {
            outcome.Outcome = outcome.Completed      ? std::string(UpgradeCompleteText)
                              : view.ErrorShown()    ? view.ErrorText()
                                                     : view.StatusText();
        }
        stops.Finally([&] {
            if (const std::string notice = RecordRuns(history, {outcome}, *package, packageName, radios->Emulated());
                !notice.empty())
                std::cerr << "quenfall-cli: " << notice << '\n';
        });
        if (events) events->End(RecordOfRun(outcome, package.get(), packageName, radios->Emulated()));
        return status;
    };

    RadioPreflight preflight = radios->Preflight();
    if (preflight.Result != PreflightCheck::Passed) {
        // Refused before anything was sent: no radio, or no right to command it.
        const std::string text = PreflightText(preflight, false);
        std::cerr << "quenfall-cli flash: " << text::Tr(text) << '\n';
        if (events) {
            outcome.Start = outcome.End = std::chrono::system_clock::now();
            outcome.Outcome = text;
            events->End(RecordOfRun(outcome, package.get(), packageName, radios->Emulated()));
        }
        return 1;
    }
    const std::vector<RadioDrive> scan = preflight.Drives;
    const std::unique_ptr<SingleRadio> radio = radios->Single(std::move(preflight), *package);
    options.TakeUsbEvents = radio->UsbEvents();
    outcome.Drive = radio->Drive();
    // The history knows which model this radio took last: a package for another is not sent
    // unless the user says so. The answer is recorded either way.
    if (const std::optional<ModelChange> change = FindModelChange(history.File(), outcome.Drive, scan, *package)) {
        std::cerr << "quenfall-cli flash: " << ModelChangeFacts(*change) << '\n';
        const HistoryRecord answer = RecordOfRun(ModelChangeAnswer(*change, outcome.Drive, allowModelChange),
                                                 package.get(), packageName, radios->Emulated());
        history.Record(answer);
        if (const std::string notice = history.TakeNotice(); !notice.empty()) std::cerr << "quenfall-cli: " << notice << '\n';
        if (!allowModelChange) {
            if (events) events->End(answer);
            std::cerr << "quenfall-cli flash: " << ModelChangeRefusedText() << '\n';
            return 1;
        }
        std::cerr << "quenfall-cli flash: " << ModelChangeAllowedText() << '\n';
    }
    std::optional<RunEventsListener> told;
    if (events) view.Tell(&told.emplace(*events, outcome.Drive.Location, outcome.Drive.Serial));
    outcome.Start = std::chrono::system_clock::now();
    // A second Ctrl-C ends the program at once: the run is kept as far as it is known, from
    // what is safe to read while it goes on.
    stops.SetLastResort([&, kept = outcome] {
        RadioOutcome cut = kept;
        cut.End = std::chrono::system_clock::now();
        cut.BlocksSent = tally.Blocks();
        cut.FramesSent = tally.Frames();
        cut.Outcome = InterruptedOutcome;
        RecordRuns(history, {cut}, *package, packageName, radios->Emulated());
    });
    const int status = FlashOnTerminal(package, radio->Link(), view, options);
    outcome.LastNode = radio->LastNode();
    if (stopped) {
        recorded(1);
        const auto total = static_cast<unsigned long long>(PlanUpload(package->Header, package->Selection.ScrambleMode).SentBlocks);
        human << text::Fill(
            // Translators: English says "blocks" for one too; a language's own singular is right.
            text::TrPlural("Interrupted: {sent} of {count} blocks sent. The radio must be upgraded again.",
                           "Interrupted: {sent} of {count} blocks sent. The radio must be upgraded again.", total),
            {{"sent", std::to_string(outcome.BlocksSent)}, {"count", std::to_string(total)}})
              << '\n';
        return StopRequests::ExitStatus();
    }

    // What the radio found of the run fails it even when the dialogue itself went through.
    const RadioCheck check = radio->Check(status == 0, *package);
    for (const std::string& p : check.Problems) std::cerr << p << '\n';
    if (!check.Problems.empty()) {
        outcome.Outcome = check.Problems.front();
        return recorded(1);
    }
    recorded(status);
    if (status == 0 && !check.Received.empty()) human << check.Received << '\n';
    return status;
}

}  // namespace quenfall::cli
