#include "history/history_listing.h"

#include "history/csv_field.h"

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

std::string ShownText(std::string_view text, bool keepLayout) {
    constexpr char Hex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool layout = c == '\t' || c == '\n' || c == '\r';
        if ((c < 0x20 && !(keepLayout && layout)) || c == 0x7f) {
            shown += "\\x";
            shown += Hex[c >> 4];
            shown += Hex[c & 0xF];
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080..U+009F: the C1 controls, which some terminals obey in UTF-8 too.
            const unsigned char code = static_cast<unsigned char>(text[++i]);
            shown += "\\u00";
            shown += Hex[code >> 4];
            shown += Hex[code & 0xF];
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

namespace {

constexpr std::size_t TableColumns = 7;

std::array<std::string, TableColumns> TableCells(const HistoryRecord& r) {
    std::string result = r.Completed ? "completed" : "failed";
    if (r.Emulated) result += ", emulated";
    return {TableTime(ShownText(r.Start)),
            r.Location.empty() ? "-" : ShownText(r.Location),
            r.Node.empty() ? "-" : ShownText(r.Node),
            ShownText(r.Package),
            CheckValueText(r.CheckValue),
            std::to_string(r.BlocksSent) + "/" + std::to_string(r.TotalBlocks),
            std::move(result)};
}

const std::array<std::string, TableColumns>& TableHeading() {
    static const std::array<std::string, TableColumns> heading = {"start (UTC)", "location", "node",  "package",
                                                                  "check",       "blocks",   "result"};
    return heading;
}

void AppendTableLine(std::string& out, const std::array<std::size_t, TableColumns>& width,
                     const std::array<std::string, TableColumns>& row, std::string_view outcome) {
    for (std::size_t c = 0; c < TableColumns; ++c) {
        out += row[c];
        out.append(width[c] - std::min(width[c], row[c].size()) + 2, ' ');
    }
    out += outcome;
    out += '\n';
}

}  // namespace

HistoryTableLayout::HistoryTableLayout() {
    for (std::size_t c = 0; c < TableColumns; ++c) width_[c] = TableHeading()[c].size();
}

void HistoryTableLayout::Widen(const HistoryRecord& record) {
    const auto row = TableCells(record);
    for (std::size_t c = 0; c < TableColumns; ++c) width_[c] = std::max(width_[c], row[c].size());
}

std::string HistoryTableLayout::Heading() const {
    std::string out;
    AppendTableLine(out, width_, TableHeading(), "outcome");
    return out;
}

void HistoryTableLayout::AppendRow(std::string& out, const HistoryRecord& record) const {
    AppendTableLine(out, width_, TableCells(record), ShownText(record.Outcome));
}

std::string HistoryTable(std::span<const HistoryRecord> records) {
    HistoryTableLayout layout;
    for (const HistoryRecord& r : records) layout.Widen(r);
    std::string out = layout.Heading();
    out.reserve((records.size() + 1) * 128);
    for (const HistoryRecord& r : records) layout.AppendRow(out, r);
    return out;
}

std::string HistoryCsvHeader() {
    return "start,end,program,version,key_set,package,package_size,model_code,check_value,sha256,total_blocks,"
           "location,node,last_node,serial,outcome,completed,blocks_sent,last_command_problem,emulated\n";
}

void AppendHistoryCsvRow(std::string& out, const HistoryRecord& r) {
    for (const std::string* text : {&r.Start, &r.End, &r.Program, &r.Version, &r.KeySet, &r.Package}) {
        CsvField(out, *text, ControlCharacters::KeepLineBreaks);
        out += ',';
    }
    out += std::to_string(r.PackageSize) + ',' + std::to_string(r.ModelCode) + ',' + CheckValueText(r.CheckValue) +
           ',';
    CsvField(out, r.Sha256, ControlCharacters::KeepLineBreaks);
    out += ',' + std::to_string(r.TotalBlocks) + ',';
    for (const std::string* text : {&r.Location, &r.Node, &r.LastNode, &r.Serial, &r.Outcome}) {
        CsvField(out, *text, ControlCharacters::KeepLineBreaks);
        out += ',';
    }
    out += r.Completed ? "true," : "false,";
    out += std::to_string(r.BlocksSent) + ',';
    CsvField(out, r.LastCommandProblem, ControlCharacters::KeepLineBreaks);
    out += r.Emulated ? ",true\n" : ",false\n";
}

std::string HistoryCsv(std::span<const HistoryRecord> records) {
    std::string out = HistoryCsvHeader();
    out.reserve(out.size() + records.size() * 256);
    for (const HistoryRecord& r : records) AppendHistoryCsvRow(out, r);
    return out;
}

}  // namespace quenfall
