// quenfall-cli flash FILE [--emulate] [--trace TRACE]: one whole upgrade in real time.
#include "cli/flash_command.h"

#include <iostream>
#include <optional>
#include <utility>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "cli/dialogue_trace_file.h"
#include "cli/platform_link.h"
#include "package/package_loader.h"
#include "radio/emulated_radio.h"
#include "upgrade/status_texts.h"

namespace quenfall::cli {

namespace {

constexpr std::string_view FlashUsage = "usage: quenfall-cli flash FILE [--emulate] [--trace TRACE]";
// How the emulated radio behaves: it first answers status 3, restarts into boot mode and is
// back on the bus after this long, then acknowledges every block.
constexpr std::chrono::milliseconds EmulatedRestartTime{2000};

}  // namespace

int FlashCommand(const Arguments& args) {
    std::optional<std::string> file;
    std::optional<std::string> tracePath;
    bool emulate = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--emulate") {
            emulate = true;
        } else if (a == "--trace") {
            if (i + 1 >= args.size()) {
                std::cerr << "quenfall-cli flash: --trace needs a file name\n" << FlashUsage << '\n';
                return 2;
            }
            tracePath = args[++i];
        } else if (a.starts_with("-") && a != "-") {
            std::cerr << "quenfall-cli flash: unknown option " << a << '\n' << FlashUsage << '\n';
            return 2;
        } else if (file) {
            std::cerr << "quenfall-cli flash: one file at a time\n" << FlashUsage << '\n';
            return 2;
        } else {
            file = a;
        }
    }
    if (!file) {
        std::cerr << FlashUsage << '\n';
        return 2;
    }

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

    TerminalView view(std::cout, std::cerr, StdoutIsTerminal());
    FlashOptions options;
    options.Trace = trace ? &*trace : nullptr;

    if (!emulate) {
        std::string why;
        PlatformLink platform = OpenPlatformLink(why);
        if (!platform.Link) {
            // Refused before anything was sent: no radio, or no right to command it.
            std::cerr << "quenfall-cli flash: " << why << '\n';
            return 1;
        }
        options.TakeUsbEvents = platform.TakeUsbEvents;
        return FlashPackage(package, *platform.Link, view, options);
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

    int status = FlashPackage(package, radio, view, options);

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
