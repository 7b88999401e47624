#include "radio/dialogue_trace_text.h"

namespace quenfall {

std::string FormatTraceLine(bool written, std::span<const std::uint8_t> bytes) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string line;
    line.reserve(3 + bytes.size() * 3);
    line += written ? '>' : '<';
    line += ' ';
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) line += ' ';
        line += Digits[bytes[i] >> 4];
        line += Digits[bytes[i] & 0x0F];
    }
    line += '\n';
    return line;
}

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
}  // namespace

std::optional<std::vector<TraceStep>> ParseTrace(std::istream& in, std::string& error) {
    std::vector<TraceStep> steps;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const auto bad = [&](const char* why) {
            error = "line " + std::to_string(number) + ": " + why;
            return std::nullopt;
        };
        if (line.size() < 4 || (line[0] != '>' && line[0] != '<') || line[1] != ' ')
            return bad("not \"> \" or \"< \" and bytes");
        TraceStep step;
        step.Written = line[0] == '>';
        for (std::size_t i = 2; i < line.size(); i += 3) {
            const int hi = HexDigit(line[i]);
            const int lo = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
            if (hi < 0 || lo < 0) return bad("a byte is not two hex digits");
            if (i + 2 < line.size() && line[i + 2] != ' ') return bad("bytes are not separated by one blank");
            step.Bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        }
        steps.push_back(std::move(step));
    }
    return steps;
}

}  // namespace quenfall
