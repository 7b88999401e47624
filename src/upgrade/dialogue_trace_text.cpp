#include "upgrade/dialogue_trace_text.h"

#include <charconv>
#include <sstream>

namespace quenfall {

namespace {

constexpr char Digits[] = "0123456789ABCDEF";

void AppendHex(std::string& line, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) line += ' ';
        line += Digits[bytes[i] >> 4];
        line += Digits[bytes[i] & 0x0F];
    }
}

std::string HexNumber(unsigned value, int digits) {
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = Digits[value & 0x0F];
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "AB CD ..." from i on; false when a byte is not two hex digits or the blanks are wrong.
bool ParseBytes(const std::string& line, std::size_t i, std::vector<std::uint8_t>& bytes, const char*& why) {
    for (; i < line.size(); i += 3) {
        const int hi = HexDigit(line[i]);
        const int lo = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
        if (hi < 0 || lo < 0) {
            why = "a byte is not two hex digits";
            return false;
        }
        if (i + 2 < line.size() && line[i + 2] != ' ') {
            why = "bytes are not separated by one blank";
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return true;
}

template <typename Number>
bool ReadNumber(std::istream& words, Number& value, int base) {
    std::string word;
    if (!(words >> word)) return false;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    return ec == std::errc() && end == word.data() + word.size();
}

bool Expect(std::istream& words, const char* word) {
    std::string got;
    return words >> got && got == word;
}

// The fields of a "! " line after its direction, the note cut off.
std::optional<CommandOutcome> ParseOutcome(const std::string& fields) {
    std::istringstream words(fields.substr(0, fields.find(" # ")));
    std::string kind;
    if (!(words >> kind)) return std::nullopt;
    std::optional<CommandOutcome> outcome;
    std::int32_t error = 0;
    if (kind == "error" && ReadNumber(words, error, 10)) {
        outcome = OutcomeOfSystemError(error, ErrorCodes::Posix);
    } else if (kind == "windows-error" && ReadNumber(words, error, 10)) {
        outcome = OutcomeOfSystemError(error, ErrorCodes::Windows);
    } else if (kind == "gone") {
        outcome = ChannelGoneOutcome();
    } else if (kind == "refused") {
        outcome = CommandOutcome{};
        outcome->Result = CommandResult::HelperRefused;
    } else if (kind == "status") {
        unsigned scsi = 0, host = 0, driver = 0;
        if (!ReadNumber(words, scsi, 16) || !Expect(words, "host") || !ReadNumber(words, host, 16) ||
            !Expect(words, "driver") || !ReadNumber(words, driver, 16) || scsi > 0xFF || host > 0xFFFF ||
            driver > 0xFFFF) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> sense;
        std::string word;
        if (words >> word) {
            if (word != "sense") return std::nullopt;
            unsigned b = 0;
            while (ReadNumber(words, b, 16)) {
                if (b > 0xFF || sense.size() == MaxSenseLength) return std::nullopt;
                sense.push_back(static_cast<std::uint8_t>(b));
            }
            if (!words.eof()) return std::nullopt;
        }
        outcome = OutcomeOfStatus(static_cast<std::uint8_t>(scsi), static_cast<std::uint16_t>(host),
                                  static_cast<std::uint16_t>(driver), sense);
        if (outcome->Good()) return std::nullopt;  // only non-good outcomes are recorded
    }
    std::string rest;
    if (!outcome || (kind != "status" && words >> rest)) return std::nullopt;
    return outcome;
}

}  // namespace

std::string FormatTraceLine(bool written, std::span<const std::uint8_t> bytes) {
    std::string line;
    line.reserve(3 + bytes.size() * 3);
    line += written ? '>' : '<';
    line += ' ';
    AppendHex(line, bytes);
    line += '\n';
    return line;
}

std::string FormatOutcomeLine(bool written, const CommandOutcome& outcome) {
    std::string line = written ? "! W " : "! R ";
    switch (outcome.Result) {
        case CommandResult::Good:
        case CommandResult::DeviceStatus:
        case CommandResult::TransportError:
            line += "status " + HexNumber(outcome.ScsiStatus, 2) + " host " + HexNumber(outcome.HostStatus, 4) +
                    " driver " + HexNumber(outcome.DriverStatus, 4);
            if (outcome.SenseLength != 0) {
                line += " sense ";
                AppendHex(line, outcome.SenseBytes());
            }
            break;
        case CommandResult::SystemError:
            line += (outcome.Codes == ErrorCodes::Windows ? "windows-error " : "error ") + std::to_string(outcome.Error);
            break;
        case CommandResult::ChannelGone: line += "gone"; break;
        case CommandResult::HelperRefused: line += "refused"; break;
    }
    return line + " # " + DescribeCommandOutcome(written, outcome) + '\n';
}

std::string FormatPresenceLine(bool present) { return present ? "+ radio back\n" : "- radio left\n"; }

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
        TraceStep step;
        if (line == "- radio left" || line == "+ radio back") {
            step.Event = line[0] == '-' ? TraceEvent::RadioLeft : TraceEvent::RadioBack;
            steps.push_back(std::move(step));
            continue;
        }
        if (line.rfind("! W ", 0) == 0 || line.rfind("! R ", 0) == 0) {
            const auto outcome = ParseOutcome(line.substr(4));
            if (!outcome) return bad("not a command outcome");
            step.Event = TraceEvent::CommandFailed;
            step.Written = line[2] == 'W';
            step.Outcome = *outcome;
            steps.push_back(std::move(step));
            continue;
        }
        if (line.size() < 4 || (line[0] != '>' && line[0] != '<') || line[1] != ' ')
            return bad("not \"> \" or \"< \" and bytes");
        step.Written = line[0] == '>';
        step.Event = step.Written ? TraceEvent::Frame : TraceEvent::Answer;
        const char* why = nullptr;
        if (!ParseBytes(line, 2, step.Bytes, why)) return bad(why);
        steps.push_back(std::move(step));
    }
    return steps;
}

}  // namespace quenfall
