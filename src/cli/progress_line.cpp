#include "cli/progress_line.h"

#include <algorithm>

namespace quenfall::cli {

namespace {

std::string Ascii(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c >= 0xC0) {
            // One mark for a whole UTF-8 character, not one per byte.
            out += '?';
            while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) ++i;
        } else {
            out += '?';
        }
    }
    return out;
}

}  // namespace

std::string FitToWidth(std::string_view text, std::size_t columns) {
    std::string out = Ascii(text);
    const std::size_t limit = columns > 0 ? columns - 1 : 0;
    if (out.size() > limit) out.resize(limit);
    return out;
}

std::vector<std::string> WrapToWidth(std::string_view text, std::size_t columns) {
    const std::string ascii = Ascii(text);
    const std::size_t limit = std::max<std::size_t>(columns > 0 ? columns - 1 : 0, 1);
    std::vector<std::string> lines;
    std::string_view rest = ascii;
    while (rest.size() > limit) {
        std::size_t cut = rest.rfind(' ', limit);
        if (cut == std::string_view::npos || cut == 0) cut = limit;
        lines.emplace_back(rest.substr(0, cut));
        rest.remove_prefix(cut);
        if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    }
    lines.emplace_back(rest);
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
        line += std::to_string(progress.BlocksDone) + "/" + std::to_string(progress.BlocksTotal);
        if (columns >= 80) line += " blocks";
    }
    if (progress.Phase != RunPhase::Ended && progress.Phase != RunPhase::Idle) {
        char left[16];
        FormatTimeLeft(SecondsLeft(progress), left);
        line += gap;
        line += left;
        line += " left";
    }
    if (!tail.empty()) {
        line += gap;
        line += tail;
    }
    return FitToWidth(line, columns);
}

}  // namespace quenfall::cli
