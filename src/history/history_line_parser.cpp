// Reading one history line into a record. A shop's history holds a record for every radio
// it ever upgraded, and every `quenfall-cli history` and every model check before a run
// reads all of it: so this reads the one shape a line has (a flat object of strings,
// integers and booleans) straight into the record, in one pass over the bytes, without a
// general JSON parser's tree or per-value allocations. It still accepts only strict JSON:
// a line that a JSON parser would refuse is no record.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "history/history_fields.h"
#include "history/history_json.h"

namespace quenfall {

namespace {

using history_fields::CheckValueField;
using history_fields::Field;

// Deeper than any later version's field could reasonably nest; a line nesting deeper is
// refused rather than followed down a stack of recursion.
constexpr int MaxNesting = 32;

class LineParser {
public:
    explicit LineParser(std::string_view line) : at_(line.data()), end_(line.data() + line.size()) {}

    std::optional<HistoryRecord> Record() {
        HistoryRecord record;
        bool sawStart = false;
        SkipBlanks();
        if (!Take('{')) return std::nullopt;
        SkipBlanks();
        if (!Take('}')) {
            for (;;) {
                SkipBlanks();
                if (!String(key_)) return std::nullopt;
                SkipBlanks();
                if (!Take(':')) return std::nullopt;
                SkipBlanks();
                const Field* field = history_fields::FieldNamed(key_);
                if (field == nullptr) {
                    if (!SkipValue(1)) return std::nullopt;
                } else {
                    if (!FieldValue(*field, record)) return std::nullopt;
                    sawStart = sawStart || std::string_view(field->Name) == "start";
                }
                SkipBlanks();
                if (Take('}')) break;
                if (!Take(',')) return std::nullopt;
            }
        }
        SkipBlanks();
        if (at_ != end_ || !sawStart) return std::nullopt;
        return record;
    }

private:
    // A known field: its value must have the type the record keeps it as.
    bool FieldValue(const Field& field, HistoryRecord& record) {
        if (const auto* text = std::get_if<std::string HistoryRecord::*>(&field.At)) {
            return String(record.**text);
        }
        if (const auto* flag = std::get_if<bool HistoryRecord::*>(&field.At)) {
            if (Word("true")) record.**flag = true;
            else if (Word("false")) record.**flag = false;
            else return false;
            return true;
        }
        if (const auto* check = std::get_if<CheckValueField>(&field.At)) {
            return String(key_) && CheckValue(key_, record.*(check->Member));
        }
        bool negative = false;
        std::uint64_t value = 0;
        if (!Integer(negative, value)) return false;
        if (const auto* size = std::get_if<std::uint64_t HistoryRecord::*>(&field.At)) {
            if (negative) return false;
            record.**size = value;
        } else if (const auto* count = std::get_if<std::uint32_t HistoryRecord::*>(&field.At)) {
            if (negative || value > std::numeric_limits<std::uint32_t>::max()) return false;
            record.**count = static_cast<std::uint32_t>(value);
        } else if (const auto* signedCount = std::get_if<std::int32_t HistoryRecord::*>(&field.At)) {
            const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
            if (value > limit) return false;
            record.**signedCount =
                static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value));
        } else {
            return false;
        }
        return true;
    }

    // "0x" and four hex digits.
    static bool CheckValue(std::string_view text, std::uint16_t& out) {
        if (text.size() != 6 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
        unsigned value = 0;
        for (char c : text.substr(2)) {
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
            else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
            else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
            else return false;
        }
        out = static_cast<std::uint16_t>(value);
        return true;
    }

    // A JSON integer (no fraction, no exponent) that fits 64 bits. A number of another form
    // is valid JSON but no count this record keeps.
    bool Integer(bool& negative, std::uint64_t& value) {
        negative = Take('-');
        if (at_ == end_ || !Digit(*at_)) return false;
        if (*at_ == '0') {
            ++at_;
            if (at_ != end_ && Digit(*at_)) return false;
        } else {
            while (at_ != end_ && Digit(*at_)) {
                const unsigned digit = static_cast<unsigned>(*at_ - '0');
                if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return false;
                value = value * 10 + digit;
                ++at_;
            }
        }
        return at_ == end_ || (*at_ != '.' && *at_ != 'e' && *at_ != 'E');
    }

    // Any JSON value, checked and passed over: the fields of a later version.
    bool SkipValue(int depth) {
        if (depth > MaxNesting || at_ == end_) return false;
        switch (*at_) {
            case '"': return String(skipped_);
            case 't': return Word("true");
            case 'f': return Word("false");
            case 'n': return Word("null");
            case '{':
            case '[': {
                const char close = *at_ == '{' ? '}' : ']';
                const bool object = close == '}';
                ++at_;
                SkipBlanks();
                if (Take(close)) return true;
                for (;;) {
                    SkipBlanks();
                    if (object) {
                        if (!String(skipped_)) return false;
                        SkipBlanks();
                        if (!Take(':')) return false;
                        SkipBlanks();
                    }
                    if (!SkipValue(depth + 1)) return false;
                    SkipBlanks();
                    if (Take(close)) return true;
                    if (!Take(',')) return false;
                }
            }
            default: return Number();
        }
    }

    // Any JSON number.
    bool Number() {
        Take('-');
        if (at_ == end_ || !Digit(*at_)) return false;
        if (*at_ == '0') ++at_;
        else while (at_ != end_ && Digit(*at_)) ++at_;
        if (Take('.')) {
            if (at_ == end_ || !Digit(*at_)) return false;
            while (at_ != end_ && Digit(*at_)) ++at_;
        }
        if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
            ++at_;
            if (!Take('+')) Take('-');
            if (at_ == end_ || !Digit(*at_)) return false;
            while (at_ != end_ && Digit(*at_)) ++at_;
        }
        return true;
    }

    // A JSON string, its escapes undone, into out (whose storage is reused).
    bool String(std::string& out) {
        out.clear();
        if (!Take('"')) return false;
        for (;;) {
            const char* run = at_;
            while (at_ != end_ && *at_ != '"' && *at_ != '\\' && static_cast<unsigned char>(*at_) >= 0x20 &&
                   static_cast<unsigned char>(*at_) < 0x80) {
                ++at_;
            }
            out.append(run, at_);
            if (at_ == end_) return false;
            const unsigned char c = static_cast<unsigned char>(*at_);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) return false;  // a raw control character: not JSON
            if (c >= 0x80) {
                if (!Utf8Sequence(out)) return false;
                continue;
            }
            ++at_;  // the backslash
            if (at_ == end_) return false;
            switch (*at_++) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    std::uint32_t code = 0;
                    if (!Hex4(code)) return false;
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        std::uint32_t low = 0;
                        if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    } else if (code >= 0xDC00 && code <= 0xDFFF) {
                        return false;
                    }
                    AppendUtf8(out, code);
                    break;
                }
                default: return false;
            }
        }
    }

    // One well-formed UTF-8 sequence, copied as it is.
    bool Utf8Sequence(std::string& out) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(at_[i]); };
        const unsigned char lead = byte(0);
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range
        if (lead >= 0xC2 && lead <= 0xDF) length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end_ - at_) < length) return false;
        if (byte(1) < low || byte(1) > high) return false;
        for (std::size_t i = 2; i < length; ++i)
            if (byte(i) < 0x80 || byte(i) > 0xBF) return false;
        out.append(at_, length);
        at_ += length;
        return true;
    }

    static void AppendUtf8(std::string& out, std::uint32_t code) {
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

    bool Hex4(std::uint32_t& code) {
        if (end_ - at_ < 4) return false;
        for (int i = 0; i < 4; ++i) {
            const char c = *at_++;
            code <<= 4;
            if (c >= '0' && c <= '9') code |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') code |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') code |= static_cast<std::uint32_t>(c - 'A' + 10);
            else return false;
        }
        return true;
    }

    bool Word(std::string_view word) {
        if (static_cast<std::size_t>(end_ - at_) < word.size() || std::string_view(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    bool Take(char c) {
        if (at_ == end_ || *at_ != c) return false;
        ++at_;
        return true;
    }

    void SkipBlanks() {
        while (at_ != end_ && (*at_ == ' ' || *at_ == '\t' || *at_ == '\n' || *at_ == '\r')) ++at_;
    }

    static bool Digit(char c) { return c >= '0' && c <= '9'; }

    const char* at_;
    const char* end_;
    std::string key_;      // the key now read, and the check value's text
    std::string skipped_;  // the strings of values passed over
};

}  // namespace

std::optional<HistoryRecord> ParseHistoryLine(std::string_view line) {
    return LineParser(line).Record();
}

}  // namespace quenfall
