#include "cli/crate_report.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/cli_support.h"

namespace quenfall::cli {

namespace {

double Seconds(const RadioOutcome& o) {
    return std::chrono::duration<double>(o.End - o.Start).count();
}

std::string CheckValueText(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::string UtcTimestamp(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date(day);
    const hh_mm_ss<milliseconds> clock(ms - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

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
