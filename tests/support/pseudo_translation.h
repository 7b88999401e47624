#pragma once
// Catalogues that stand in for translations when a test needs texts longer, or in other
// scripts, than English: every text of a list lengthened by about 40% (a translation's
// usual growth from English), in accented Latin, in Cyrillic, or in CJK ideographs. Leading
// blanks and line breaks stay where English has them, as translators keep them.
#include <string>
#include <string_view>
#include <vector>

namespace quenfall::testing {

enum class PseudoScript { AccentedLatin, Cyrillic, Cjk };

inline std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k) code = (code << 6) | (text[i + k] & 0x3F);
        out += code;
        i += length;
    }
    return out;
}

inline std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    for (const char32_t code : text) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// One line (no line break in it) in script, about 40% wider in letters than it was.
inline std::u32string PseudoLine(std::u32string_view line, PseudoScript script) {
    static constexpr std::u32string_view Accented = U"\u00e1b\u00e7d\u00e9fgh\u00edjklmn\u00f6pqr\u0161t\u00fcvwx\u00fd\u017e";
    static constexpr std::u32string_view AccentedUpper = U"\u00c5B\u00c7D\u00c9FGH\u00cdJKLMN\u00d6PQR\u0160T\u00dcVWX\u00dd\u017d";
    static constexpr std::u32string_view Cyrillic =
        U"\u0430\u0431\u0446\u0434\u0435\u0444\u0433\u0445\u0438\u0439\u043a\u043b\u043c\u043d\u043e\u043f\u0449\u0440"
        U"\u0441\u0442\u0443\u0432\u0448\u0436\u044b\u0437";
    static constexpr std::u32string_view Ideographs = U"\u56fa\u4ef6\u5347\u7ea7\u7535\u53f0\u8fde\u63a5\u6309\u952e\u8bf7\u7b49";
    std::size_t lead = 0;
    while (lead < line.size() && line[lead] == U' ') ++lead;
    std::size_t end = line.size();
    while (end > lead && line[end - 1] == U' ') --end;
    const std::u32string_view body = line.substr(lead, end - lead);
    std::u32string out(line.substr(0, lead));
    if (script == PseudoScript::Cjk) {
        // An ideograph is about twice as wide as an average Latin letter: 70% as many of them
        // take 40% more width.
        const std::size_t count = (body.size() * 7 + 9) / 10;
        for (std::size_t i = 0; i < count; ++i) out += Ideographs[i % Ideographs.size()];
    } else {
        for (const char32_t c : body) {
            if (c >= U'a' && c <= U'z') {
                out += script == PseudoScript::Cyrillic ? Cyrillic[c - U'a'] : Accented[c - U'a'];
            } else if (c >= U'A' && c <= U'Z') {
                out += script == PseudoScript::Cyrillic ? Cyrillic[c - U'A'] - 0x20 : AccentedUpper[c - U'A'];
            } else {
                out += c;
            }
        }
        const std::u32string_view filler =
            script == PseudoScript::Cyrillic ? std::u32string_view(U"\u0436\u0449\u044e\u0448\u0444\u044b") : U"\u00e4\u00f6\u00fc\u00df\u00e9\u00e8";
        const std::size_t extra = (body.size() * 4 + 9) / 10;
        if (extra > 0) out += U' ';
        for (std::size_t i = 1; i < extra; ++i) out += filler[i % filler.size()];
    }
    out += line.substr(end);
    return out;
}

inline std::string PseudoTranslation(std::string_view english, PseudoScript script) {
    const std::u32string text = DecodeUtf8(english);
    std::u32string out;
    std::size_t start = 0;
    while (true) {
        const std::size_t lineEnd = text.find_first_of(U"\r\n", start);
        out += PseudoLine(std::u32string_view(text).substr(start, lineEnd - start), script);
        if (lineEnd == std::u32string::npos) break;
        out += text[lineEnd];
        start = lineEnd + 1;
    }
    return EncodeUtf8(out);
}

inline std::string PoQuoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

// A .po catalogue translating each of englishTexts into its pseudo translation.
inline std::string PseudoCatalogue(const std::vector<std::string>& englishTexts, PseudoScript script) {
    std::string po =
        "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
        "\"Plural-Forms: nplurals=2; plural=(n != 1);\\n\"\n";
    for (const std::string& english : englishTexts) {
        po += "\nmsgid " + PoQuoted(english) + "\nmsgstr " + PoQuoted(PseudoTranslation(english, script)) + "\n";
    }
    return po;
}

}  // namespace quenfall::testing
