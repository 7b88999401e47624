#include "cli/crate_report.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/cli_support.h"
#include "cli/progress_line.h"
#include "runs/crate_summary.h"
#include "runs/flash_package.h"
#include "upgrade/status_texts.h"
#include "history/history_record.h"
#include "text/translation.h"

#include <nlohmann/json.hpp>

namespace quenfall::cli {

namespace {

double Seconds(const RadioOutcome& o) {
    return std::chrono::duration<double>(o.End - o.Start).count();
}

}  // namespace

static std::string RadioLineText(const RadioOutcome& o, std::size_t locationWidth, std::size_t nodeWidth) {
    std::string location = o.Drive.Location.empty() ? "-" : o.Drive.Location;
    location.resize(std::max(locationWidth, location.size()), ' ');
    std::string node = o.Drive.Node;
    node.resize(std::max(nodeWidth, node.size()), ' ');
    char time[32];
    std::snprintf(time, sizeof time, "%7.1f s", Seconds(o));
    // The outcome as recorded, in the user's language where it is one of the run's own texts.
    // A run cut short: how far it got is what the shop needs to know of it.
    const std::string outcome =
        o.Outcome == InterruptedOutcome
            ? text::Fill(text::Tr("interrupted after {blocks} blocks sent"), {{"blocks", std::to_string(o.BlocksSent)}})
            : text::Tr(o.Outcome);
    return location + "  " + node + "  " + time + "  " + outcome;
}

void PrintRadioLine(std::ostream& out, const RadioOutcome& o, std::size_t locationWidth, std::size_t nodeWidth) {
    out << RadioLineText(o, locationWidth, nodeWidth) << '\n';
    // As a single run does: what the system saw of the command that failed the run.
    if (o.Outcome == CommunicationErrorText && !o.LastCommandProblem.empty())
        out << std::string(std::max(locationWidth, o.Drive.Location.size()) + 2, ' ')
            << text::Fill(text::Tr(LastCommandProblemText), {{"problem", o.LastCommandProblem}}) << '\n';
}

void PrintCrateSummary(std::ostream& out, const std::vector<RadioOutcome>& outcomes, std::size_t columns) {
    const auto line = [&](const std::string& text) {
        if (columns == 0) {
            out << text << '\n';
            return;
        }
        for (const std::string& part : WrapToWidth(text, columns)) out << part << '\n';
    };
    std::size_t locationWidth = 8;
    std::size_t nodeWidth = 4;
    for (const RadioOutcome& o : outcomes) {
        locationWidth = std::max(locationWidth, o.Drive.Location.size());
        nodeWidth = std::max(nodeWidth, o.Drive.Node.size());
    }
    std::size_t completed = 0;
    for (const RadioOutcome& o : outcomes) {
        line(RadioLineText(o, locationWidth, nodeWidth));
        // As a single run does: what the system saw of the command that failed the run.
        if (o.Outcome == CommunicationErrorText && !o.LastCommandProblem.empty())
            line(std::string(locationWidth + 2, ' ') +
                 text::Fill(text::Tr(LastCommandProblemText), {{"problem", o.LastCommandProblem}}));
        if (o.Completed) ++completed;
    }
    line(UpgradedSentence(completed, outcomes.size()));
    out.flush();
}

std::string CrateReportJson(const std::vector<RadioOutcome>& outcomes, std::string_view packageName,
                            std::uint16_t checkValue, std::string_view sha256, bool emulated) {
    using Json = nlohmann::ordered_json;
    // One radio a line, for a reader with a text editor as much as for a program.
    std::string json = "[\n";
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const RadioOutcome& o = outcomes[i];
        Json j;
        j["location"] = o.Drive.Location;
        j["node"] = o.Drive.Node;
        j["last_node"] = o.LastNode;
        j["package"] = packageName;
        j["check_value"] = CheckValueText(checkValue);
        j["sha256"] = sha256;
        j["outcome"] = o.Outcome;
        j["completed"] = o.Completed;
        j["status_texts"] = o.StatusTexts;
        j["blocks_sent"] = o.BlocksSent;
        j["start"] = UtcTimestamp(o.Start);
        j["end"] = UtcTimestamp(o.End);
        j["serial"] = o.Drive.Serial;
        j["emulated"] = emulated;
        json += "  " + j.dump(-1, ' ', false, Json::error_handler_t::replace);
        json += i + 1 < outcomes.size() ? ",\n" : "\n";
    }
    json += "]\n";
    return json;
}

}  // namespace quenfall::cli
