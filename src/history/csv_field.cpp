#include "history/csv_field.h"

namespace quenfall {

namespace {

// A package's file name comes from whoever made the file: a cell that begins like this
// would be taken as a formula.
bool BeginsLikeAFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

bool IsControlByte(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

}  // namespace

void CsvField(std::string& out, std::string_view text, ControlCharacters controls) {
    std::string escaped;
    if (controls == ControlCharacters::Escape) {
        static constexpr char Hex[] = "0123456789ABCDEF";
        for (char c : text) {
            if (!IsControlByte(c)) {
                escaped += c;
                continue;
            }
            const auto byte = static_cast<unsigned char>(c);
            escaped += "\\x";
            escaped += Hex[byte >> 4];
            escaped += Hex[byte & 0xF];
        }
        text = escaped;
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
