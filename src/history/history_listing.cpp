#include "history/history_listing.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quenfall {

namespace {

bool Digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return false;
    for (std::size_t i = at; i < at + count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

int Number(std::string_view text, std::size_t at, std::size_t count) {
    int n = 0;
    for (std::size_t i = at; i < at + count; ++i) n = n * 10 + (text[i] - '0');
    return n;
}

// A spreadsheet takes a cell that begins like this as a formula. A package's file name comes
// from whoever made the file, so such a text is kept as text behind an apostrophe.
bool ReadAsFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

// Quoted when a spreadsheet would otherwise split, join or trim it.
void CsvField(std::string& out, std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    const std::string_view guard = ReadAsFormula(text) ? "'" : "";
    if (!quote) {
        out += guard;
        out += text;
        return;
    }
    out += '"';
    out += guard;
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string TableTime(const std::string& start) {
    // "2026-12-09T12:34:56.789Z" -> "2026-12-09 12:34:56"
    std::string shown = start.substr(0, 19);
    if (shown.size() > 10 && shown[10] == 'T') shown[10] = ' ';
    return shown;
}

}  // namespace

std::optional<std::string> SinceBound(std::string_view text) {
    if (!text.empty() && (text.back() == 'Z' || text.back() == 'z')) text.remove_suffix(1);
    if (text.size() < 10 || !Digits(text, 0, 4) || text[4] != '-' || !Digits(text, 5, 2) || text[7] != '-' ||
        !Digits(text, 8, 2)) {
        return std::nullopt;
    }
    const int month = Number(text, 5, 2);
    const int day = Number(text, 8, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    std::string bound(text.substr(0, 10));
    if (text.size() == 10) return bound;
    // A time of day: hh:mm, then optionally :ss and .mmm.
    if ((text[10] != 'T' && text[10] != 't' && text[10] != ' ') || !Digits(text, 11, 2) || text.size() < 16 ||
        text[13] != ':' || !Digits(text, 14, 2) || Number(text, 11, 2) > 23 || Number(text, 14, 2) > 59) {
        return std::nullopt;
    }
    std::size_t end = 16;
    if (text.size() > end) {
        if (text[end] != ':' || !Digits(text, end + 1, 2) || Number(text, end + 1, 2) > 60) return std::nullopt;
        end += 3;
        if (text.size() > end) {
            if (text[end] != '.' || text.size() == end + 1 || !Digits(text, end + 1, text.size() - end - 1))
                return std::nullopt;
            end = text.size();
        }
    }
    bound += 'T';
    bound += text.substr(11, end - 11);
    return bound;
}

bool Keeps(const HistoryFilter& filter, const HistoryRecord& record) {
    if (filter.FailedOnly && record.Completed) return false;
    if (filter.Location && record.Location != *filter.Location) return false;
    // Every start time is written in one form, so text order is time order; a bound that is
    // a prefix of a start time ("2026-12-09") sorts before it.
    if (filter.Since && record.Start < *filter.Since) return false;
    if (filter.Sha256 && record.Sha256 != *filter.Sha256) return false;
    return true;
}

std::vector<HistoryRecord> Select(std::vector<HistoryRecord> records, const HistoryFilter& filter) {
    std::erase_if(records, [&](const HistoryRecord& r) { return !Keeps(filter, r); });
    return records;
}

std::string HistoryTable(std::span<const HistoryRecord> records) {
    constexpr std::size_t Columns = 7;
    const std::array<std::string, Columns> heading = {"start (UTC)", "location", "node", "package",
                                                      "check",       "blocks",   "result"};
    auto cells = [](const HistoryRecord& r) {
        std::string result = r.Completed ? "completed" : "failed";
        if (r.Emulated) result += ", emulated";
        return std::array<std::string, Columns>{TableTime(r.Start),
                                                r.Location.empty() ? "-" : r.Location,
                                                r.Node.empty() ? "-" : r.Node,
                                                r.Package,
                                                CheckValueText(r.CheckValue),
                                                std::to_string(r.BlocksSent) + "/" + std::to_string(r.TotalBlocks),
                                                result};
    };
    std::array<std::size_t, Columns> width{};
    for (std::size_t c = 0; c < Columns; ++c) width[c] = heading[c].size();
    for (const HistoryRecord& r : records) {
        const auto row = cells(r);
        for (std::size_t c = 0; c < Columns; ++c) width[c] = std::max(width[c], row[c].size());
    }
    std::string out;
    out.reserve((records.size() + 1) * 128);
    auto line = [&](const std::array<std::string, Columns>& row, std::string_view outcome) {
        for (std::size_t c = 0; c < Columns; ++c) {
            out += row[c];
            out.append(width[c] - row[c].size() + 2, ' ');
        }
        out += outcome;
        out += '\n';
    };
    line(heading, "outcome");
    for (const HistoryRecord& r : records) line(cells(r), r.Outcome);
    return out;
}

std::string HistoryCsv(std::span<const HistoryRecord> records) {
    std::string out =
        "start,end,program,version,key_set,package,package_size,model_code,check_value,sha256,total_blocks,"
        "location,node,last_node,serial,outcome,completed,blocks_sent,last_command_problem,emulated\n";
    out.reserve(out.size() + records.size() * 256);
    for (const HistoryRecord& r : records) {
        for (const std::string* text : {&r.Start, &r.End, &r.Program, &r.Version, &r.KeySet, &r.Package}) {
            CsvField(out, *text);
            out += ',';
        }
        out += std::to_string(r.PackageSize) + ',' + std::to_string(r.ModelCode) + ',' +
               CheckValueText(r.CheckValue) + ',';
        CsvField(out, r.Sha256);
        out += ',' + std::to_string(r.TotalBlocks) + ',';
        for (const std::string* text : {&r.Location, &r.Node, &r.LastNode, &r.Serial, &r.Outcome}) {
            CsvField(out, *text);
            out += ',';
        }
        out += r.Completed ? "true," : "false,";
        out += std::to_string(r.BlocksSent) + ',';
        CsvField(out, r.LastCommandProblem);
        out += r.Emulated ? ",true\n" : ",false\n";
    }
    return out;
}

}  // namespace quenfall
