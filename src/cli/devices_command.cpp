// quenfall-cli devices [--json] [--emulate N]: the radios the platform's link finds (or an
// emulated crate's), in the order flash uses them, each with its node and its location.
#include <iostream>
#include <optional>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "startup/radio_choice.h"
#include "text/translation.h"

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
    const auto usageError = [](const std::string& what) {
        std::cerr << "quenfall-cli devices: " << what << '\n' << DevicesUsage << '\n';
        return 2;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--emulate") {
            if (i + 1 >= args.size())
                return usageError(text::Fill(text::Tr("--emulate needs a number of radios, {lowest} to {highest}"),
                                             {{"lowest", "0"}, {"highest", std::to_string(MaxEmulatedRadios)}}));
            const std::string& word = args[++i];
            if (!IsCountWord(word) || word.size() > 3 || std::stoul(word) > MaxEmulatedRadios)
                return usageError(EmulateRangeError(word, 0));
            emulate = std::stoul(word);
        } else if (a.starts_with("-")) {
            return usageError(UnknownOptionText(a));
        } else {
            return usageError(text::Fill(text::Tr("unexpected \"{word}\": devices takes no file"), {{"word", a}}));
        }
    }

    RadioRequest request;
    request.Emulate = emulate.has_value();
    request.Radios = emulate.value_or(1);
    RadioPreflight preflight = ChooseRadios(request)->Preflight();
    if (preflight.Result == PreflightCheck::NoLink) {
        std::cerr << "quenfall-cli devices: " << text::Tr(PreflightText(preflight, true)) << '\n';
        return 1;
    }
    // Listing needs no permission: a radio that may not be commanded is listed with a note.
    const std::vector<RadioDrive> drives = std::move(preflight.Drives);
    const std::string problem = std::move(preflight.Problem);
    if (json) {
        PrintJson(drives);
    } else if (drives.empty()) {
        std::cout << text::Tr("No radio was found.") << '\n';
    } else {
        // Quoted, so that the identity's padding blanks show.
        for (const RadioDrive& d : drives) {
            // Translators: one radio a line; keep the quotes, which show the identity's blanks.
            std::cout << text::Fill(text::Tr("{node}  location {location}  vendor \"{vendor}\"  model \"{model}\""),
                                    {{"node", d.Node},
                                     {"location", d.Location.empty() ? text::Tr("unknown") : d.Location},
                                     {"vendor", d.Vendor},
                                     {"model", d.Model}})
                      << '\n';
        }
    }
    if (drives.empty()) return 1;
    if (!problem.empty()) std::cerr << text::Fill(text::Tr("note: {problem}"), {{"problem", problem}}) << '\n';
    return 0;
}

}  // namespace quenfall::cli
