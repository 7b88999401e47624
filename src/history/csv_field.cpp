#include "history/csv_field.h"

#include <algorithm>

#include "history/history_listing.h"

namespace quenfall {

namespace {

// A package's file name comes from whoever made the file: a cell that begins like this
// would be taken as a formula.
bool BeginsLikeAFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

// Whether ShownText would change anything: most fields hold no control character, and only
// those that do are copied.
bool NeedsShowing(std::string_view text, ControlCharacters controls) {
    return std::any_of(text.begin(), text.end(), [controls](char c) {
        const auto u = static_cast<unsigned char>(c);
        const bool lineBreak = c == '\t' || c == '\n' || c == '\r';
        return (u < 0x20 && !(lineBreak && controls == ControlCharacters::KeepLineBreaks)) || u == 0x7F ||
               u == 0xC2;
    });
}

}  // namespace

void CsvField(std::string& out, std::string_view text, ControlCharacters controls) {
    std::string shown;
    if (NeedsShowing(text, controls)) {
        shown = ShownText(text, controls == ControlCharacters::KeepLineBreaks);
        text = shown;
    }
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    const std::string_view guard = BeginsLikeAFormula(text) ? "'" : "";
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

}  // namespace quenfall
