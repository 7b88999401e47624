// flash FILE --all / --device: the radios found at the start, each upgraded by a run of its
// own that follows it by location through its restart.
#include "cli/crate_command.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>

#include "cli/cli_support.h"
#include "platform/platform.h"
#include "cli/crate_flash.h"
#include "cli/crate_report.h"
#include "cli/progress_line.h"
#include "cli/stop_requests.h"
#include "cli/run_events.h"
#include "startup/radio_choice.h"
#include "runs/model_change.h"
#include "runs/run_record.h"
#include "platform/drive_location.h"
#include "platform/located_device_link.h"
#include "text/translation.h"

namespace quenfall::cli {

namespace {

// The terminal's own width, as it is at each redraw; $COLUMNS where the system cannot tell.
std::size_t Columns() {
    if (const std::size_t columns = TerminalColumns(); columns > 0) return columns;
    if (const char* columns = std::getenv("COLUMNS")) {
        const long n = std::strtol(columns, nullptr, 10);
        if (n >= 20 && n <= 1000) return static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace

int FlashCrateCommand(const CrateRequest& request) {
    const Package& package = *request.Loaded;

    // The report's place is checked before any radio is touched.
    std::ofstream report;
    if (request.ReportPath) {
        if (std::string why; !OpenToWrite(report, PathFromArgument(*request.ReportPath), why)) {
            std::cerr << "quenfall-cli flash: " << CannotWriteReportText(*request.ReportPath, why) << '\n';
            return 2;
        }
    }

    std::vector<RadioDrive> drives;
    {
        // Its scan only lists the radios: each run gets a link of its own.
        RadioPreflight preflight = request.Chosen->Preflight();
        if (preflight.Result != PreflightCheck::Passed) {
            // The radio asked for by name is named, whatever stopped the search.
            const std::string why = text::Tr(PreflightText(preflight, !request.Device));
            std::cerr << "quenfall-cli flash: "
                      << (request.Device ? text::Fill(text::Tr("no radio at \"{radio}\": {reason}"),
                                                      {{"radio", *request.Device}, {"reason", why}})
                                         : why)
                      << '\n';
            return 1;
        }
        drives = std::move(preflight.Drives);
    }
    const std::unique_ptr<RadioSource> source = request.Chosen->Crate(package.Selection);

    std::vector<RadioDrive> chosen = drives;
    if (request.Device) {
        const auto index = FindNamedDrive(drives, *request.Device);
        if (!index) {
            std::string found;
            for (const RadioDrive& d : drives) found += (found.empty() ? "" : " ") + d.Node + " (" + d.Location + ')';
            std::cerr << "quenfall-cli flash: "
                      << (drives.empty()
                              ? text::Fill(text::Tr("no radio at \"{radio}\". Found: nothing"), {{"radio", *request.Device}})
                              : text::Fill(text::Tr("no radio at \"{radio}\". Found: {radios}"),
                                           {{"radio", *request.Device}, {"radios", found}}))
                      << '\n';
            return 1;
        }
        chosen = {drives[*index]};
    } else if (std::string why = WhyRadiosCannotBeToldApart(chosen); !why.empty()) {
        std::cerr << "quenfall-cli flash --all: " << why << '\n';
        return 1;
    }

    // A radio whose history says it took another model code is left out unless the user
    // allows it; the answer is recorded either way, and a radio left out counts as not upgraded.
    HistoryRecorder history;
    std::vector<RadioOutcome> leftOut;
    for (auto it = chosen.begin(); it != chosen.end();) {
        const std::optional<ModelChange> change = FindModelChange(history.File(), *it, drives, package);
        if (!change) {
            ++it;
            continue;
        }
        const std::string where = it->Location.empty() ? it->Node : it->Location;
        std::cerr << "quenfall-cli flash: " << where << ": " << ModelChangeFacts(*change) << '\n';
        const RadioOutcome answer = ModelChangeAnswer(*change, *it, request.AllowModelChange);
        history.Record(RecordOfRun(answer, &package, request.PackageName, source->Emulated()));
        if (request.AllowModelChange) {
            std::cerr << "quenfall-cli flash: " << where << ": " << ModelChangeAllowedText() << '\n';
            ++it;
            continue;
        }
        std::cerr << "quenfall-cli flash: " << where << ": " << ModelChangeRefusedText() << '\n';
        if (request.Events) request.Events->End(RecordOfRun(answer, &package, request.PackageName, source->Emulated()));
        leftOut.push_back(answer);
        it = chosen.erase(it);
    }

    std::vector<CrateRadio> radios;
    std::vector<std::string> labels;
    for (const RadioDrive& drive : chosen) {
        radios.push_back(source->Bind(drive));
        labels.push_back(drive.Location.empty() ? drive.Node : drive.Location);
    }

    // With the events on standard output, what people read goes to standard error.
    const bool eventsOnStdout = request.Events && request.Events->OnStandardOutput();
    std::ostream& human = eventsOnStdout ? std::cerr : std::cout;
    const bool redraw = !eventsOnStdout && TerminalRedrawsInPlace();
    CrateDisplay display(human, std::cerr, redraw, labels, CrateDisplay::Columns(Columns));
    FlashOptions options;
    options.Trace = request.Trace;
    options.StopRequested = &StopRequests::Requested;
    std::vector<RadioOutcome> outcomes = FlashCrate(request.Loaded, radios, display, options, request.Events);
    const bool stopped = StopRequests::Requested();

    // A run stopped from outside is what it is: no radio's verdict makes it more.
    if (!stopped) {
        // Every emulated radio checked every frame it got: what it found wrong fails its run
        // even when the dialogue went through, and a radio that was not chosen got nothing.
        // The platform's radios tell nothing.
        for (const RadioVerdict& v : source->Judge(outcomes, package)) {
            for (const std::string& p : v.Problems) std::cerr << v.Location << ": emulated radio: " << p << '\n';
            if (v.Ran && v.Problems.empty()) {
                bool completed = false;
                for (const RadioOutcome& o : outcomes) completed = completed || (o.Drive.Location == v.Location && o.Completed);
                if (!completed) continue;
                const std::string line =
                    v.Location + ": " +
                    // Translators: {blocks} is "1 block" or "5 blocks"; the form follows the sections.
                    text::Fill(text::TrPlural("emulated radio: {blocks} in {count} section received; it matches the "
                                              "package; device names {first_node} then {last_node}.",
                                              "emulated radio: {blocks} in {count} sections received; every section "
                                              "matches the package; device names {first_node} then {last_node}.",
                                              v.Sections),
                               {{"blocks", text::Fill(text::TrPlural("{count} block", "{count} blocks", v.Blocks),
                                                      {{"count", std::to_string(v.Blocks)}})},
                                {"count", std::to_string(v.Sections)},
                                {"first_node", v.FirstNode},
                                {"last_node", v.LastNode}});
                if (!redraw) {
                    human << line << '\n';
                    continue;
                }
                for (const std::string& part : WrapToWidth(line, display.Width())) human << part << '\n';
            }
        }
    }

    const auto record = [&] {
        if (const std::string notice = RecordRuns(history, outcomes, package, request.PackageName, source->Emulated());
            !notice.empty())
            std::cerr << "quenfall-cli: " << notice << '\n';
    };
    if (request.Stops) {
        request.Stops->Finally(record);
    } else {
        record();
    }
    if (request.Events) {
        for (const RadioOutcome& o : outcomes)
            request.Events->End(RecordOfRun(o, &package, request.PackageName, source->Emulated()));
    }
    outcomes.insert(outcomes.end(), leftOut.begin(), leftOut.end());
    PrintCrateSummary(human, outcomes, redraw ? display.Width() : 0);
    if (report.is_open()) {
        report << CrateReportJson(outcomes, request.PackageName, package.StoredCheckValue(), package.Sha256,
                                  source->Emulated());
        errno = 0;
        report.close();
        if (!report) {
            std::cerr << "quenfall-cli flash: " << CannotWriteReportText(*request.ReportPath, LastFileError()) << '\n';
            return 2;
        }
    }
    if (stopped) return StopRequests::ExitStatus();
    for (const RadioOutcome& o : outcomes)
        if (!o.Completed) return 1;
    return 0;
}

}  // namespace quenfall::cli
