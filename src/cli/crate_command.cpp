// flash FILE --all / --device: the radios found at the start, each upgraded by a run of its
// own that follows it by location through its restart.
#include "cli/crate_command.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>

#include "cli/cli_support.h"
#include "cli/console.h"
#include "cli/crate_flash.h"
#include "cli/crate_report.h"
#include "cli/radio_preflight.h"
#include "cli/run_record.h"
#include "link/drive_location.h"
#include "link/located_device_link.h"
#include "radio/emulated_crate.h"

namespace quenfall::cli {

namespace {

// The emulated radios come back from their restart in the reverse order of their ports, a
// tenth of a second apart, so the last radio takes the first one's old device name.
constexpr std::chrono::milliseconds EmulatedRestartTime{1500};
constexpr std::chrono::milliseconds EmulatedRestartSpread{100};

// Where the radios come from: a scan at the start, then a link of its own for each run.
struct RadioSource {
    std::vector<RadioDrive> Drives;
    std::function<std::unique_ptr<DriveListLink>()> Connect;
    std::function<std::function<int()>(const std::string& location)> UsbEvents;
};

std::size_t TerminalColumns() {
    if (const char* columns = std::getenv("COLUMNS")) {
        const long n = std::strtol(columns, nullptr, 10);
        if (n >= 20 && n <= 1000) return static_cast<std::size_t>(n);
    }
    return 80;
}

std::uint16_t CheckValueOf(const Package& package) {
    const auto& image = package.Image;
    return static_cast<std::uint16_t>(image[image.size() - 2] << 8 | image[image.size() - 1]);
}

}  // namespace

int FlashCrateCommand(const CrateRequest& request) {
    const Package& package = *request.Loaded;

    // The report's place is checked before any radio is touched.
    std::ofstream report;
    if (request.ReportPath) {
        report.open(PathFromArgument(*request.ReportPath), std::ios::binary | std::ios::trunc);
        if (!report) {
            std::cerr << "quenfall-cli flash: cannot write the report \"" << *request.ReportPath << "\"\n";
            return 2;
        }
    }

    RadioSource source;
    std::unique_ptr<EmulatedCrate> crate;
    if (request.Emulate) {
        std::vector<EmulatedRadioConfig> configs(*request.Emulate);
        for (std::size_t i = 0; i < configs.size(); ++i) {
            configs[i].Selection = package.Selection;
            configs[i].RestartTime =
                EmulatedRestartTime + EmulatedRestartSpread * static_cast<int>(configs.size() - 1 - i);
            configs[i].KeepFrameLog = false;
            configs[i].Faults = request.Faults;
        }
        crate = std::make_unique<EmulatedCrate>(std::move(configs));
        source.Drives = crate->Drives();
        source.Connect = [&crate] { return crate->Connect(); };
        source.UsbEvents = [&crate](const std::string& location) { return crate->UsbEventCounter(location); };
    } else {
        RadioPreflight preflight = CheckRealRadios();
        if (preflight.Result != PreflightCheck::Passed) {
            std::cerr << "quenfall-cli flash: " << PreflightText(preflight, true) << '\n';
            return 1;
        }
        source.Drives = std::move(preflight.Drives);
        source.Connect = [] { return std::unique_ptr<DriveListLink>(MakePlatformDeviceLink()); };
        source.UsbEvents = [](const std::string& location) { return MakeUsbEventCounter(location); };
    }

    std::vector<RadioDrive> chosen = source.Drives;
    if (request.Device) {
        const auto index = FindNamedDrive(source.Drives, *request.Device);
        if (!index) {
            std::cerr << "quenfall-cli flash: no radio at \"" << *request.Device << "\". Found:";
            for (const RadioDrive& d : source.Drives) std::cerr << ' ' << d.Node << " (" << d.Location << ')';
            std::cerr << (source.Drives.empty() ? " nothing\n" : "\n");
            return 1;
        }
        chosen = {source.Drives[*index]};
    } else if (std::string why = WhyRadiosCannotBeToldApart(chosen); !why.empty()) {
        std::cerr << "quenfall-cli flash --all: " << why << '\n';
        return 1;
    }

    std::vector<CrateRadio> radios;
    std::vector<std::string> labels;
    for (const RadioDrive& drive : chosen) {
        CrateRadio radio;
        radio.Drive = drive;
        radio.Link = std::make_unique<LocatedDeviceLink>(source.Connect(), drive);
        radio.TakeUsbEvents = source.UsbEvents(drive.Location);
        radios.push_back(std::move(radio));
        labels.push_back(drive.Location.empty() ? drive.Node : drive.Location);
    }

    CrateDisplay display(std::cout, std::cerr, TerminalRedrawsInPlace(), labels, TerminalColumns());
    FlashOptions options;
    options.Trace = request.Trace;
    std::vector<RadioOutcome> outcomes = FlashCrate(request.Loaded, radios, display, options);

    if (crate) {
        // Every emulated radio checked every frame it got: what it found wrong fails its run
        // even when the dialogue went through, and a radio that was not chosen got nothing.
        const auto expected = SectionsOf(package);
        for (std::size_t i = 0; i < crate->Size(); ++i) {
            const std::string location = EmulatedCrate::PortLocation(i);
            const EmulatedRadio& radio = crate->Radio(i);
            RadioOutcome* outcome = nullptr;
            for (RadioOutcome& o : outcomes)
                if (o.Drive.Location == location) outcome = &o;
            EmulatedRunVerdict verdict = JudgeEmulatedRun(radio, outcome && outcome->Completed, expected);
            std::vector<std::string>& problems = verdict.Problems;
            if (!outcome && radio.Writes() != 0) {
                problems.push_back(std::to_string(radio.Writes()) + " frames reached this radio, which was not chosen");
            }
            for (const std::string& p : problems) std::cerr << location << ": emulated radio: " << p << '\n';
            if (!problems.empty() && outcome) {
                outcome->Completed = false;
                outcome->Outcome = "emulated radio: " + problems.front();
            }
            if (outcome && outcome->Completed) {
                std::cout << location << ": emulated radio: " << verdict.Blocks << " blocks in " << verdict.Sections
                          << " sections received; every section matches the package; device names "
                          << crate->NodesOf(i).front() << " then " << crate->NodesOf(i).back() << ".\n";
            }
        }
    }

    HistoryRecorder history;
    RecordRuns(history, outcomes, package, request.PackageName, crate != nullptr, std::cerr);
    PrintCrateSummary(std::cout, outcomes);
    if (report.is_open()) {
        report << CrateReportJson(outcomes, request.PackageName, CheckValueOf(package));
        report.close();
        if (!report) {
            std::cerr << "quenfall-cli flash: cannot write the report \"" << *request.ReportPath << "\"\n";
            return 2;
        }
    }
    for (const RadioOutcome& o : outcomes)
        if (!o.Completed) return 1;
    return 0;
}

}  // namespace quenfall::cli
