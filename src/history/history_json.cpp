#include "history/history_json.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string_view>
#include <type_traits>
#include <variant>

#include <nlohmann/json.hpp>

namespace quenfall {

namespace {

using Json = nlohmann::ordered_json;

// Where a record keeps a field. The check value is a number kept and a text written.
struct CheckValueField {
    std::uint16_t HistoryRecord::*Member;
};
using FieldPlace = std::variant<std::string HistoryRecord::*, std::uint64_t HistoryRecord::*,
                                std::uint32_t HistoryRecord::*, std::int32_t HistoryRecord::*, bool HistoryRecord::*,
                                CheckValueField>;
struct Field {
    const char* Name;
    FieldPlace At;
};

// Every field of a line, in the order a line holds them: the one list both sides read.
constexpr std::array<Field, 20> Fields = {{
    {"start", &HistoryRecord::Start},
    {"end", &HistoryRecord::End},
    {"program", &HistoryRecord::Program},
    {"version", &HistoryRecord::Version},
    {"key_set", &HistoryRecord::KeySet},
    {"package", &HistoryRecord::Package},
    {"package_size", &HistoryRecord::PackageSize},
    {"model_code", &HistoryRecord::ModelCode},
    {"check_value", CheckValueField{&HistoryRecord::CheckValue}},
    {"sha256", &HistoryRecord::Sha256},
    {"total_blocks", &HistoryRecord::TotalBlocks},
    {"location", &HistoryRecord::Location},
    {"node", &HistoryRecord::Node},
    {"last_node", &HistoryRecord::LastNode},
    {"serial", &HistoryRecord::Serial},
    {"outcome", &HistoryRecord::Outcome},
    {"completed", &HistoryRecord::Completed},
    {"blocks_sent", &HistoryRecord::BlocksSent},
    {"last_command_problem", &HistoryRecord::LastCommandProblem},
    {"emulated", &HistoryRecord::Emulated},
}};

const Field* FieldNamed(std::string_view name) {
    for (const Field& field : Fields) {
        if (name == field.Name) return &field;
    }
    return nullptr;
}

// Filled anew for every record: the object's fields and their storage are made once per
// thread, not once per record, which is most of the cost of writing a long history.
const Json& ToJson(const HistoryRecord& r) {
    thread_local Json j;
    for (const Field& field : Fields) {
        std::visit(
            [&](auto at) {
                if constexpr (std::is_same_v<decltype(at), CheckValueField>) {
                    j[field.Name] = CheckValueText(r.*at.Member);
                } else {
                    j[field.Name] = r.*at;
                }
            },
            field.At);
    }
    return j;
}

// The reading side walks the parser's events straight into the record, without building a
// tree per line: the history command reads a shop's whole history at every call. A known
// field of the wrong type makes the line no record; an unknown field (from a later
// version) may hold anything and is passed over.
class RecordReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit RecordReader(HistoryRecord& record) : r_(record) {}

    bool null() override { return Other(); }
    bool boolean(bool value) override {
        if (depth_ != 1) return depth_ > 1;
        if (const auto at = Place<bool>()) {
            r_.*(*at) = value;
            return true;
        }
        return !Known();
    }
    bool number_integer(number_integer_t value) override {
        if (value >= 0) return number_unsigned(static_cast<number_unsigned_t>(value));
        if (depth_ != 1) return depth_ > 1;
        if (const auto at = Place<std::int32_t>(); at && value >= std::numeric_limits<std::int32_t>::min()) {
            r_.*(*at) = static_cast<std::int32_t>(value);
            return true;
        }
        return !Known();
    }
    bool number_unsigned(number_unsigned_t value) override {
        if (depth_ != 1) return depth_ > 1;
        if (Count<std::uint64_t>(value) || Count<std::uint32_t>(value) || Count<std::int32_t>(value)) return true;
        return !Known();
    }
    bool number_float(number_float_t, const string_t&) override { return Other(); }
    bool string(string_t& value) override {
        if (depth_ != 1) return depth_ > 1;
        if (const auto* check = field_ ? std::get_if<CheckValueField>(&field_->At) : nullptr) {
            return CheckValue(value, check->Member);
        }
        if (const auto at = Place<std::string>()) {
            r_.*(*at) = std::move(value);
            if (*at == &HistoryRecord::Start) sawStart_ = true;
            return true;
        }
        return !Known();
    }
    bool binary(binary_t&) override { return Other(); }
    bool start_object(std::size_t) override { return Open(); }
    bool start_array(std::size_t) override { return depth_ != 0 && Open(); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& value) override {
        if (depth_ == 1) field_ = FieldNamed(value);
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

    // The line held one object with at least the start time.
    bool Whole() const { return sawStart_ && depth_ == 0; }

private:
    bool Open() {
        if (depth_ == 1 && Known()) return false;
        ++depth_;
        return true;
    }
    bool Close() {
        --depth_;
        return true;
    }
    // A value of a type no known field has.
    bool Other() { return depth_ > 1 || (depth_ == 1 && !Known()); }
    bool Known() const { return field_ != nullptr; }
    // The field now read, when it is kept as an M.
    template <typename M>
    M HistoryRecord::* const* Place() const {
        return field_ ? std::get_if<M HistoryRecord::*>(&field_->At) : nullptr;
    }
    // A count for the field now read, when it is kept as an M that holds the value.
    template <typename M>
    bool Count(number_unsigned_t value) {
        const auto at = Place<M>();
        if (!at || value > static_cast<std::uint64_t>(std::numeric_limits<M>::max())) return false;
        r_.*(*at) = static_cast<M>(value);
        return true;
    }
    // "0x" and four hex digits.
    bool CheckValue(const std::string& text, std::uint16_t HistoryRecord::*member) {
        if (text.size() != 6 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
        unsigned value = 0;
        for (char c : std::string_view(text).substr(2)) {
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
            else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
            else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
            else return false;
        }
        r_.*member = static_cast<std::uint16_t>(value);
        return true;
    }

    HistoryRecord& r_;
    const Field* field_ = nullptr;  // the field of the object's last key
    int depth_ = 0;
    bool sawStart_ = false;
};

}  // namespace

std::string HistoryLine(const HistoryRecord& record) {
    // Invalid UTF-8 (a file name from an odd file system) is replaced, never refused: the
    // record is written whatever the names hold.
    return ToJson(record).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<HistoryRecord> ParseHistoryLine(std::string_view line) {
    HistoryRecord record;
    RecordReader reader(record);
    const bool parsed = nlohmann::json::sax_parse(line.begin(), line.end(), &reader, nlohmann::json::input_format_t::json,
                                        /*strict=*/true);
    if (!parsed || !reader.Whole()) return std::nullopt;
    return record;
}

std::string HistoryJsonArray(std::span<const HistoryRecord> records) {
    std::string out = "[";
    out.reserve(records.size() * 512);
    for (std::size_t i = 0; i < records.size(); ++i) {
        out += i ? ",\n " : "";
        out += HistoryLine(records[i]);
    }
    out += "]\n";
    return out;
}

}  // namespace quenfall
