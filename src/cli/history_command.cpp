// quenfall-cli history: every recorded run, newest last, as a table, JSON or CSV.
#include <cctype>
#include <iostream>
#include <optional>

#include "cli/cli_commands.h"
#include "history/history_file.h"
#include "history/history_json.h"
#include "history/history_listing.h"
#include "history/history_reading.h"
#include "package/package_digest.h"
#include "platform/platform.h"
#include "text/translation.h"

namespace quenfall::cli {

namespace {

constexpr std::string_view HistoryUsage =
    "usage: quenfall-cli history [--json | --csv] [--failed] [--location LOCATION] [--since DATE]\n"
    "                            [--sha256 HASH]";

int UsageError(std::string_view what) {
    std::cerr << "quenfall-cli history: " << what << '\n' << HistoryUsage << '\n';
    return 2;
}

enum class Form { Table, Json, Csv };

// Standard output in large writes, whatever the number of records.
class Output {
public:
    Output() { buffer_.reserve(Flush_ + 4096); }
    std::string& Buffer() { return buffer_; }
    void Text(std::string_view text) {
        buffer_ += text;
        Flow();
    }
    void Flow() {
        if (buffer_.size() >= Flush_) Flush();
    }
    void Flush() {
        std::cout.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        std::cout.flush();
        buffer_.clear();
    }

private:
    static constexpr std::size_t Flush_ = 256 * 1024;
    std::string buffer_;
};

}  // namespace

int HistoryCommand(const Arguments& args) {
    Form form = Form::Table;
    HistoryFilter filter;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json" || a == "--csv") {
            const Form wanted = a == "--json" ? Form::Json : Form::Csv;
            if (form != Form::Table && form != wanted) return UsageError(text::Tr("--json and --csv exclude each other"));
            form = wanted;
        } else if (a == "--failed") {
            filter.FailedOnly = true;
        } else if (a == "--sha256") {
            if (i + 1 >= args.size() || !IsSha256Text(args[i + 1]))
                return UsageError(text::Tr("--sha256 takes a file's SHA-256: 64 hex digits, as sha256sum prints them"));
            std::string hash = args[++i];
            for (char& c : hash) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            filter.Sha256 = std::move(hash);
        } else if (a == "--location" || a == "--since") {
            if (i + 1 >= args.size())
                return UsageError(a == "--since" ? text::Fill(text::Tr("{option} needs a date"), {{"option", a}})
                                                 : text::Fill(text::Tr("{option} needs a location"), {{"option", a}}));
            const std::string& value = args[++i];
            if (a == "--location") {
                filter.Location = value;
            } else if (!(filter.Since = SinceBound(value))) {
                return UsageError(
                    text::Fill(text::Tr("--since takes a date such as 2026-12-09 or 2026-12-09T14:30 (UTC), not \"{word}\""),
                               {{"word", value}}));
            }
        } else {
            return UsageError(text::Fill(text::Tr("unknown option {option}"), {{"option", a}}));
        }
    }

    const std::filesystem::path file = HistoryPath();
    if (file.empty()) {
        std::cerr << "quenfall-cli history: "
                  << text::Tr("no place for the history is known: set QUENFALL_HISTORY, or HOME") << '\n';
        return 1;
    }
    // Written as it is read, a piece at a time: a shop's history of years lists in the
    // memory of one record. The table reads the file twice, once for its column widths.
    Output out;
    HistoryScan scan;
    std::size_t shown = 0;
    const auto each = [&](auto&& write) {
        return [&, write](const HistoryRecord& record) {
            if (!Keeps(filter, record)) return;
            ++shown;
            write(record);
        };
    };
    switch (form) {
        case Form::Json:
            out.Text("[");
            scan = ScanHistoryFile(file, each([&](const HistoryRecord& record) {
                                       out.Text(shown > 1 ? ",\n " : "");
                                       out.Text(HistoryLine(record));
                                   }));
            out.Text("]\n");
            break;
        case Form::Csv:
            out.Text(HistoryCsvHeader());
            scan = ScanHistoryFile(file, each([&](const HistoryRecord& record) {
                                       AppendHistoryCsvRow(out.Buffer(), record);
                                       out.Flow();
                                   }));
            break;
        case Form::Table: {
            HistoryTableLayout layout;
            scan = ScanHistoryFile(file, each([&](const HistoryRecord& record) { layout.Widen(record); }));
            if (!scan.Problem.empty() || scan.Missing || shown == 0) break;
            out.Text(layout.Heading());
            scan = ScanHistoryFile(
                file,
                [&](const HistoryRecord& record) {
                    if (!Keeps(filter, record)) return;
                    layout.AppendRow(out.Buffer(), record);
                    out.Flow();
                },
                scan.Length);
            break;
        }
    }
    if (!scan.Problem.empty()) {
        std::cerr << "quenfall-cli history: " << scan.Problem << '\n';
        return 2;
    }
    if (form == Form::Table && shown == 0) {
        out.Text((scan.Missing ? text::Fill(text::Tr("No upgrade has been recorded yet ({file})."), {{"file", file.string()}})
                               : text::Tr("No recorded upgrade matches.")) +
                 "\n");
    }
    out.Flush();
    if (scan.Unreadable > 0) {
        std::cerr << text::Fill(text::TrPlural("note: {count} line of {file} held no whole record (a run cut short by a "
                                               "crash or a power cut) and was passed over.",
                                               "note: {count} lines of {file} held no whole record (a run cut short by "
                                               "a crash or a power cut) and were passed over.",
                                               scan.Unreadable),
                                {{"count", std::to_string(scan.Unreadable)}, {"file", file.string()}})
                  << '\n';
    }
    return 0;
}

}  // namespace quenfall::cli
