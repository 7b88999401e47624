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

}  // namespace

int HistoryCommand(const Arguments& args) {
    Form form = Form::Table;
    HistoryFilter filter;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json" || a == "--csv") {
            const Form wanted = a == "--json" ? Form::Json : Form::Csv;
            if (form != Form::Table && form != wanted) return UsageError("--json and --csv exclude each other");
            form = wanted;
        } else if (a == "--failed") {
            filter.FailedOnly = true;
        } else if (a == "--sha256") {
            if (i + 1 >= args.size() || !IsSha256Text(args[i + 1]))
                return UsageError("--sha256 takes a file's SHA-256: 64 hex digits, as sha256sum prints them");
            std::string hash = args[++i];
            for (char& c : hash) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            filter.Sha256 = std::move(hash);
        } else if (a == "--location" || a == "--since") {
            if (i + 1 >= args.size()) return UsageError(a + (a == "--since" ? " needs a date" : " needs a location"));
            const std::string& value = args[++i];
            if (a == "--location") {
                filter.Location = value;
            } else if (!(filter.Since = SinceBound(value))) {
                return UsageError("--since takes a date such as 2026-12-09 or 2026-12-09T14:30 (UTC), not \"" +
                                  value + "\"");
            }
        } else {
            return UsageError("unknown option " + a);
        }
    }

    const std::filesystem::path file = HistoryPath();
    if (file.empty()) {
        std::cerr << "quenfall-cli history: no place for the history is known: set QUENFALL_HISTORY, or HOME\n";
        return 1;
    }
    HistoryContents contents = ReadHistoryFile(file);
    if (!contents.Problem.empty()) {
        std::cerr << "quenfall-cli history: " << contents.Problem << '\n';
        return 1;
    }
    const std::vector<HistoryRecord> shown = Select(std::move(contents.Records), filter);
    std::string out;
    switch (form) {
        case Form::Json: out = HistoryJsonArray(shown); break;
        case Form::Csv: out = HistoryCsv(shown); break;
        case Form::Table:
            if (contents.Missing) {
                out = "No upgrade has been recorded yet (" + file.string() + ").\n";
            } else if (shown.empty()) {
                out = "No recorded upgrade matches.\n";
            } else {
                out = HistoryTable(shown);
            }
            break;
    }
    std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
    std::cout.flush();
    if (contents.Unreadable > 0) {
        std::cerr << "note: " << contents.Unreadable << (contents.Unreadable == 1 ? " line" : " lines") << " of "
                  << file.string()
                  << " held no whole record (a run cut short by a crash or a power cut) and "
                  << (contents.Unreadable == 1 ? "was" : "were") << " passed over.\n";
    }
    return 0;
}

}  // namespace quenfall::cli
