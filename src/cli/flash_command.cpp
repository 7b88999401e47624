// quenfall-cli flash: one whole upgrade in real time, or one per radio of a crate.
#include "cli/flash_command.h"
#include "cli/terminal_view.h"

#include <iostream>
#include <optional>
#include <utility>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "cli/console.h"
#include "cli/crate_command.h"
#include "cli/dialogue_trace_file.h"
#include "cli/radio_preflight.h"
#include "package/package_loader.h"
#include "radio/emulated_radio.h"
#include "upgrade/status_texts.h"

namespace quenfall::cli {

namespace {

constexpr std::string_view FlashUsage =
    "usage: quenfall-cli flash FILE [--emulate [N]] [--device NODE_OR_LOCATION | --all]\n"
    "                          [--report REPORT] [--trace TRACE]";
// How the emulated radio behaves: it first answers status 3, restarts into boot mode and is
// back on the bus after this long, then acknowledges every block.
constexpr std::chrono::milliseconds EmulatedRestartTime{2000};
// An emulated crate holds at most as many radios as a hub chain of a shop would.
constexpr std::size_t MaxEmulatedRadios = 64;

int UsageError(std::string_view what) {
    std::cerr << "quenfall-cli flash: " << what << '\n' << FlashUsage << '\n';
    return 2;
}

std::optional<std::size_t> RadioCount(std::string_view word) {
    if (word.empty() || word.size() > 3 || word.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return static_cast<std::size_t>(std::stoul(std::string(word)));
}

}  // namespace

int FlashCommand(const Arguments& args) {
    std::optional<std::string> file;
    std::optional<std::string> tracePath;
    std::optional<std::string> reportPath;
    std::optional<std::string> device;
    bool all = false;
    bool emulate = false;
    std::size_t emulated = 1;
    bool countGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--emulate") {
            emulate = true;
            if (i + 1 < args.size()) {
                if (const auto n = RadioCount(args[i + 1])) {
                    if (*n < 1 || *n > MaxEmulatedRadios)
                        return UsageError("--emulate takes 1 to " + std::to_string(MaxEmulatedRadios) + " radios");
                    emulated = *n;
                    countGiven = true;
                    ++i;
                }
            }
        } else if (a == "--all") {
            all = true;
        } else if (a == "--trace" || a == "--report" || a == "--device") {
            if (i + 1 >= args.size()) return UsageError(a + " needs " + (a == "--device" ? "a radio" : "a file name"));
            (a == "--trace" ? tracePath : a == "--report" ? reportPath : device) = args[++i];
        } else if (a.starts_with("-") && a != "-") {
            return UsageError("unknown option " + a);
        } else if (file) {
            return UsageError("one file at a time");
        } else {
            file = a;
        }
    }
    if (!file) {
        std::cerr << FlashUsage << '\n';
        return 2;
    }
    const bool perRadio = all || device;
    if (all && device) return UsageError("--device and --all exclude each other");
    if (reportPath && !perRadio) return UsageError("--report needs --all or --device");
    if (tracePath && all) return UsageError("--trace records one radio's dialogue: use it with --device");
    if (countGiven && !perRadio) return UsageError("--emulate N needs --all or --device");

    const LoadResult loaded = LoadPackage(PathFromArgument(*file));
    if (loaded.Verdict != LoadVerdict::Accepted) {
        std::cerr << loaded.Message << '\n';
        return loaded.Verdict == LoadVerdict::Unreadable ? 2 : 1;
    }
    const std::shared_ptr<const Package> package = loaded.Accepted;

    std::optional<DialogueTraceFile> trace;
    if (tracePath) {
        trace.emplace(PathFromArgument(*tracePath));
        if (!trace->IsOpen()) {
            std::cerr << "quenfall-cli flash: cannot write the trace \"" << *tracePath << "\"\n";
            return 2;
        }
    }

    if (perRadio) {
        CrateRequest request;
        request.Loaded = package;
        const std::u8string name = PathFromArgument(*file).filename().u8string();
        request.PackageName.assign(name.begin(), name.end());
        request.Device = device;
        if (emulate) request.Emulate = emulated;
        request.ReportPath = reportPath;
        request.Trace = trace ? &*trace : nullptr;
        return FlashCrateCommand(request);
    }

    TerminalView view(std::cout, std::cerr, StdoutIsTerminal());
    FlashOptions options;
    options.Trace = trace ? &*trace : nullptr;

    if (!emulate) {
        RadioPreflight preflight = CheckRealRadios();
        if (preflight.Result != PreflightCheck::Passed) {
            // Refused before anything was sent: no radio, or no right to command it.
            std::cerr << "quenfall-cli flash: " << PreflightText(preflight, false) << '\n';
            return 1;
        }
        options.TakeUsbEvents = MakeUsbEventCounter();
        return FlashOnTerminal(package, *preflight.Link, view, options);
    }

    EmulatedRadioConfig config;
    config.Selection = package->Selection;
    config.RestartTime = EmulatedRestartTime;
    config.KeepFrameLog = false;
    EmulatedRadio radio(config);
    int usbEvents = 0;
    radio.SetPresenceCallback([&usbEvents](bool) { ++usbEvents; });
    options.TakeUsbEvents = [&radio, &usbEvents] {
        radio.Advance();
        return std::exchange(usbEvents, 0);
    };

    int status = FlashOnTerminal(package, radio, view, options);

    // The emulated radio checked every frame: what it found wrong fails the run even when
    // the dialogue itself went through.
    std::vector<std::string> problems = radio.Violations();
    if (status == 0) {
        for (std::string& d : radio.CompareSections(SectionsOf(*package))) problems.push_back(std::move(d));
    }
    for (const std::string& p : problems) std::cerr << "emulated radio: " << p << '\n';
    if (!problems.empty()) return 1;
    if (status == 0) {
        std::uint32_t blocks = 0;
        for (const auto& [id, s] : radio.Sections()) blocks += s.BlocksReceived;
        std::cout << "Emulated radio: " << blocks << " blocks in " << radio.Sections().size()
                  << " sections received; every section matches the package.\n";
    }
    return status;
}

}  // namespace quenfall::cli
