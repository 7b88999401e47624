// quenfall-cli devices [--json] [--emulate N]: the radios the platform's link finds (or an
// emulated crate's), in the order flash uses them, each with its node and its location.
#include <iostream>
#include <optional>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "startup/radio_choice.h"

#include <nlohmann/json.hpp>

namespace quenfall::cli {

namespace {

constexpr std::string_view DevicesUsage = "usage: quenfall-cli devices [--json] [--emulate N]";

// One radio a line.
void PrintJson(const std::vector<RadioDrive>& drives) {
    using Json = nlohmann::ordered_json;
    std::cout << '[';
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const RadioDrive& d = drives[i];
        Json j;
        j["node"] = d.Node;
        j["location"] = d.Location;
        j["vendor"] = d.Vendor;
        j["model"] = d.Model;
        std::cout << (i ? ",\n " : "") << j.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    std::cout << "]\n";
}

}  // namespace

int DevicesCommand(const Arguments& args) {
    bool json = false;
    std::optional<std::size_t> emulate;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--emulate" && i + 1 < args.size() &&
                   args[i + 1].find_first_not_of("0123456789") == std::string::npos && args[i + 1].size() <= 2 &&
                   !args[i + 1].empty()) {
            emulate = std::stoul(args[++i]);
        } else {
            std::cerr << DevicesUsage << '\n';
            return 2;
        }
    }

    RadioRequest request;
    request.Emulate = emulate.has_value();
    request.Radios = emulate.value_or(1);
    RadioPreflight preflight = ChooseRadios(request)->Preflight();
    if (preflight.Result == PreflightCheck::NoLink) {
        std::cerr << "quenfall-cli devices: " << PreflightText(preflight, true) << '\n';
        return 1;
    }
    // Listing needs no permission: a radio that may not be commanded is listed with a note.
    const std::vector<RadioDrive> drives = std::move(preflight.Drives);
    const std::string problem = std::move(preflight.Problem);
    if (json) {
        PrintJson(drives);
    } else if (drives.empty()) {
        std::cout << "No radio was found.\n";
    } else {
        // Quoted, so that the identity's padding blanks show.
        for (const RadioDrive& d : drives) {
            std::cout << d.Node << "  location " << (d.Location.empty() ? "unknown" : d.Location) << "  vendor \""
                      << d.Vendor << "\"  model \"" << d.Model << "\"\n";
        }
    }
    if (drives.empty()) return 1;
    if (!problem.empty()) std::cerr << "note: " << problem << '\n';
    return 0;
}

}  // namespace quenfall::cli
