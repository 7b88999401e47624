#include "cli/progress_line.h"

#include <algorithm>

#include "text/translation.h"

namespace quenfall::cli {

namespace {

// How many columns a terminal gives code point c: two for the wide scripts (Chinese,
// Japanese, Korean, full-width forms), none for combining marks, one otherwise.
std::size_t CodePointColumns(char32_t c) {
    if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F)) return 0;
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
        (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
        (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
        (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD))
        return 2;
    return 1;
}

// One character of text: its bytes (a '?' for a control character or a byte that is not
// UTF-8) and its columns.
struct Character {
    std::string Bytes;
    std::size_t Columns = 1;
};

// Outside ASCII, characters are shown only while a language other than English is in use:
// its texts need them, and its user's terminal shows them. English output stays ASCII, as a
// terminal of any character set shows it.
std::vector<Character> Characters(std::string_view text) {
    const bool ascii = text::LanguageInUse().empty();
    std::vector<Character> out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out.push_back({std::string(1, static_cast<char>(c)), 1});
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xF8 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        bool valid = length > 0 && length <= 4 && i + length <= text.size();
        char32_t code = valid ? static_cast<char32_t>(c & (0x7F >> length)) : 0;
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (valid && !ascii) {
            out.push_back({std::string(text.substr(i, length)), CodePointColumns(code)});
            i += length;
            continue;
        }
        // One mark for a whole character, or a broken one, not one per byte.
        out.push_back({"?", 1});
        ++i;
        while (c >= 0xC0 && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return out;
}

}  // namespace

std::size_t ColumnsOf(std::string_view text) {
    std::size_t columns = 0;
    for (const Character& c : Characters(text)) columns += c.Columns;
    return columns;
}

std::string FitToWidth(std::string_view text, std::size_t columns) {
    const std::size_t limit = columns > 0 ? columns - 1 : 0;
    std::string out;
    std::size_t used = 0;
    for (const Character& c : Characters(text)) {
        if (used + c.Columns > limit) break;
        used += c.Columns;
        out += c.Bytes;
    }
    return out;
}

std::vector<std::string> WrapToWidth(std::string_view text, std::size_t columns) {
    const std::vector<Character> characters = Characters(text);
    const std::size_t limit = std::max<std::size_t>(columns > 0 ? columns - 1 : 0, 1);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < characters.size()) {
        // The characters that fit from start, and the last blank among them.
        std::size_t end = start, used = 0, blank = std::string::npos;
        while (end < characters.size() && used + characters[end].Columns <= limit) {
            if (characters[end].Bytes == " ") blank = end;
            used += characters[end].Columns;
            ++end;
        }
        if (end == characters.size()) break;
        if (characters[end].Bytes == " ") blank = end;
        std::size_t cut = blank != std::string::npos && blank > start ? blank : end;
        if (cut == start) cut = start + 1;  // a character wider than the line
        std::string line;
        for (std::size_t k = start; k < cut; ++k) line += characters[k].Bytes;
        lines.push_back(std::move(line));
        start = cut;
        if (start < characters.size() && characters[start].Bytes == " ") ++start;
    }
    std::string last;
    for (std::size_t k = start; k < characters.size(); ++k) last += characters[k].Bytes;
    lines.push_back(std::move(last));
    return lines;
}

std::string ProgressLine(const RunProgress& progress, std::string_view tail, std::size_t columns) {
    if (columns == 0) columns = DefaultColumns;
    std::string line;
    // The bar gives way first on a narrow terminal: 20 cells from 90 columns, none under 70.
    int cells = static_cast<int>(std::clamp<std::size_t>(columns > 50 ? (columns - 50) / 2 : 0, 0, 20));
    if (cells < 10) cells = 0;
    const int percent = std::clamp(progress.Percent, 0, 100);
    if (cells > 0) {
        const int filled = percent * cells / 100;
        line += '[';
        line.append(static_cast<std::size_t>(filled), '#');
        line.append(static_cast<std::size_t>(cells - filled), '.');
        line += "] ";
    }
    // Under 70 columns one blank apart, so that a row of 60 still holds the restart's warning.
    const std::string_view gap = columns >= 70 ? "  " : " ";
    std::string number = std::to_string(percent) + "%";
    line.append(4 - std::min<std::size_t>(number.size(), 4), ' ');
    line += number;
    if (progress.BlocksTotal > 0) {
        line += gap;
        const std::string done = std::to_string(progress.BlocksDone);
        const std::string total = std::to_string(progress.BlocksTotal);
        // Translators: part of the one-line progress of a terminal; keep it short.
        line += columns >= 80 ? text::Fill(text::Tr("{done}/{total} blocks"), {{"done", done}, {"total", total}})
                              : done + "/" + total;
    }
    if (progress.Phase != RunPhase::Ended && progress.Phase != RunPhase::Idle) {
        char left[16];
        FormatTimeLeft(SecondsLeft(progress), left);
        line += gap;
        // Translators: the time left of a run, as "0:07 left", in a terminal's one-line progress.
        line += text::Fill(text::Tr("{time} left"), {{"time", left}});
    }
    if (!tail.empty()) {
        line += gap;
        line += tail;
    }
    return FitToWidth(line, columns);
}

}  // namespace quenfall::cli
