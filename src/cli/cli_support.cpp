#include "cli/cli_support.h"

#include "protocol/key_tables.h"
#include "protocol/model_profile.h"
#include "text/translation.h"

#include <cerrno>
#include <charconv>
#include <system_error>
#include <sstream>
#include <cstdio>

namespace quenfall::cli {

std::optional<std::uint8_t> ParseByte(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

bool IsCountWord(std::string_view word) {
    return !word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string EmulateRangeError(std::string_view word, std::size_t lowest) {
    return text::Fill(text::Tr("--emulate takes {lowest} to {highest} radios, not \"{word}\""),
                      {{"lowest", std::to_string(lowest)},
                       {"highest", std::to_string(MaxEmulatedRadios)},
                       {"word", std::string(word)}});
}

std::string LastFileError() {
    const int error = errno;
    return std::generic_category().message(error != 0 ? error : EIO);
}

bool OpenToWrite(std::ofstream& out, const std::filesystem::path& path, std::string& why) {
    errno = 0;
    out.open(path, std::ios::binary | std::ios::trunc);
    if (out.is_open()) return true;
    why = LastFileError();
    return false;
}

std::string UnknownOptionText(std::string_view option) {
    return text::Fill(text::Tr("unknown option {option}"), {{"option", std::string(option)}});
}

std::string OneFileAtATimeText() { return text::Tr("one file at a time"); }

std::string NeedsFileNameText(std::string_view option) {
    return text::Fill(text::Tr("{option} needs a file name"), {{"option", std::string(option)}});
}

std::string FaultNamesText(std::string_view names) {
    return text::Fill(text::Tr("--emulate-fault takes {faults}, each with @K for radio K only"),
                      {{"faults", std::string(names)}});
}

std::string FaultNeedsEmulateText() { return text::Tr("--emulate-fault needs --emulate"); }

std::string FaultRadioOutOfRangeText(std::size_t radio, std::size_t radios) {
    return text::Fill(text::Tr("--emulate-fault names radio {radio} of {count}"),
                      {{"radio", std::to_string(radio)}, {"count", std::to_string(radios)}});
}

std::string CannotWriteReportText(std::string_view file, std::string_view why) {
    return text::Fill(text::Tr("cannot write the report \"{file}\": {reason}"),
                      {{"file", std::string(file)}, {"reason", std::string(why)}});
}

std::string CannotWriteEventsText(std::string_view file, std::string_view why) {
    return text::Fill(text::Tr("cannot write the events \"{file}\": {reason}"),
                      {{"file", std::string(file)}, {"reason", std::string(why)}});
}

std::string CannotWriteTraceText(std::string_view file, std::string_view why) {
    return text::Fill(text::Tr("cannot write the trace \"{file}\": {reason}"),
                      {{"file", std::string(file)}, {"reason", std::string(why)}});
}

std::string ModelChangeRefusedText() {
    return text::Fill(text::Tr("not started; {option} upgrades it all the same."), {{"option", "--allow-model-change"}});
}

std::string ModelChangeAllowedText() {
    return text::Fill(text::Tr("going on, as {option} asks."), {{"option", "--allow-model-change"}});
}

std::string Counted(std::size_t n, std::string_view one, std::string_view several) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : several);
}

namespace {
// Length of the well-formed UTF-8 sequence at the start of text, or 0.
std::size_t Utf8Length(std::string_view text) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = b(0);
    std::size_t n = 0;
    unsigned lo = 0x80, hi = 0xBF;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c >= 0xE0 && c <= 0xEF) { n = 3; if (c == 0xE0) lo = 0xA0; if (c == 0xED) hi = 0x9F; }
    else if (c >= 0xF0 && c <= 0xF4) { n = 4; if (c == 0xF0) lo = 0x90; if (c == 0xF4) hi = 0x8F; }
    else return 0;
    if (text.size() < n) return 0;
    if (b(1) < lo || b(1) > hi) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (b(i) < 0x80 || b(i) > 0xBF) return 0;
    return n;
}
}  // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    while (!text.empty()) {
        const char c = text[0];
        const auto u = static_cast<unsigned char>(c);
        std::size_t used = 1;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (u < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", u);
                    out += esc;
                } else if (const std::size_t n = Utf8Length(text); n != 0) {
                    out.append(text.substr(0, n));
                    used = n;
                } else {
                    // A file name need not be UTF-8; JSON must be.
                    out += "\\ufffd";
                }
        }
        text.remove_prefix(used);
    }
    out += '"';
    return out;
}

std::string AcceptedModelsHelp(std::string_view indent) {
    auto key = [](std::int8_t table) {
        return table == NoKey ? std::string("not scrambled") : "key table " + std::to_string(table);
    };
    std::ostringstream o;
    o << indent << "Model codes this build accepts (key set " << KeySetName() << "), with what\n"
      << indent << "--scramble 0 and --scramble 1 use (2..255: not scrambled):\n";
    for (const AcceptedModel& m : AcceptedModels()) {
        const ModelProfile& p = ModelProfiles.at(m.ProfileIndex);
        o << indent << "model " << unsigned{m.ModelCode} << ": " << key(p.KeyMode0) << ", " << key(p.KeyMode1) << ".\n";
    }
    return o.str();
}

}  // namespace quenfall::cli
