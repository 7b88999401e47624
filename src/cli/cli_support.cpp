#include "cli/cli_support.h"

#include "protocol/key_tables.h"
#include "protocol/model_profile.h"

#include <charconv>
#include <sstream>
#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

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

std::filesystem::path PathFromArgument(const std::string& word) {
#if defined(_WIN32)
    return std::filesystem::path(std::u8string(word.begin(), word.end()));
#else
    return std::filesystem::path(word);
#endif
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    std::vector<std::string> args;
#if defined(_WIN32)
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr) {
        for (int i = 1; i < count; ++i) {
            const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string word(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
            if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, word.data(), n, nullptr, nullptr);
            args.push_back(std::move(word));
        }
        LocalFree(wide);
        return args;
    }
#endif
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

bool StdoutIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
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
