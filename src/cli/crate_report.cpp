#include "cli/crate_report.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/cli_support.h"
#include "history/history_record.h"

namespace quenfall::cli {

namespace {

double Seconds(const RadioOutcome& o) {
    return std::chrono::duration<double>(o.End - o.Start).count();
}

}  // namespace

void PrintCrateSummary(std::ostream& out, const std::vector<RadioOutcome>& outcomes) {
    std::size_t locationWidth = 8;
    std::size_t nodeWidth = 4;
    for (const RadioOutcome& o : outcomes) {
        locationWidth = std::max(locationWidth, o.Drive.Location.size());
        nodeWidth = std::max(nodeWidth, o.Drive.Node.size());
    }
    std::size_t completed = 0;
    for (const RadioOutcome& o : outcomes) {
        std::string location = o.Drive.Location.empty() ? "-" : o.Drive.Location;
        location.resize(locationWidth, ' ');
        std::string node = o.Drive.Node;
        node.resize(nodeWidth, ' ');
        char time[32];
        std::snprintf(time, sizeof time, "%7.1f s", Seconds(o));
        out << location << "  " << node << "  " << time << "  " << o.Outcome << '\n';
        if (o.Completed) ++completed;
    }
    out << completed << " of " << outcomes.size() << (outcomes.size() == 1 ? " radio" : " radios")
        << " upgraded.\n";
    out.flush();
}

std::string CrateReportJson(const std::vector<RadioOutcome>& outcomes, std::string_view packageName,
                            std::uint16_t checkValue) {
    std::string json = "[\n";
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const RadioOutcome& o = outcomes[i];
        json += "  {\"location\": " + JsonString(o.Drive.Location);
        json += ", \"node\": " + JsonString(o.Drive.Node);
        json += ", \"last_node\": " + JsonString(o.LastNode);
        json += ", \"package\": " + JsonString(packageName);
        json += ", \"check_value\": " + JsonString(CheckValueText(checkValue));
        json += ",\n   \"outcome\": " + JsonString(o.Outcome);
        json += ", \"completed\": ";
        json += o.Completed ? "true" : "false";
        json += ",\n   \"status_texts\": [";
        for (std::size_t t = 0; t < o.StatusTexts.size(); ++t) {
            if (t) json += ", ";
            json += JsonString(o.StatusTexts[t]);
        }
        json += "],\n   \"blocks_sent\": " + std::to_string(o.BlocksSent);
        json += ", \"start\": " + JsonString(UtcTimestamp(o.Start));
        json += ", \"end\": " + JsonString(UtcTimestamp(o.End)) + "}";
        json += i + 1 < outcomes.size() ? ",\n" : "\n";
    }
    json += "]\n";
    return json;
}

}  // namespace quenfall::cli
