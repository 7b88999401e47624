#include "history/history_json.h"

#include <cstdint>

#include <nlohmann/json.hpp>

namespace quenfall {

namespace {

using Json = nlohmann::ordered_json;

// Filled anew for every record: the object's fields and their storage are made once per
// thread, not once per record, which is most of the cost of writing a long history.
const Json& ToJson(const HistoryRecord& r) {
    thread_local Json j;
    j["start"] = r.Start;
    j["end"] = r.End;
    j["program"] = r.Program;
    j["version"] = r.Version;
    j["key_set"] = r.KeySet;
    j["package"] = r.Package;
    j["package_size"] = r.PackageSize;
    j["model_code"] = r.ModelCode;
    j["check_value"] = CheckValueText(r.CheckValue);
    j["total_blocks"] = r.TotalBlocks;
    j["location"] = r.Location;
    j["node"] = r.Node;
    j["last_node"] = r.LastNode;
    j["serial"] = r.Serial;
    j["outcome"] = r.Outcome;
    j["completed"] = r.Completed;
    j["blocks_sent"] = r.BlocksSent;
    j["last_command_problem"] = r.LastCommandProblem;
    j["emulated"] = r.Emulated;
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
        if (key_ == "completed") r_.Completed = value;
        else if (key_ == "emulated") r_.Emulated = value;
        else return !Known();
        return true;
    }
    bool number_integer(number_integer_t value) override {
        if (value >= 0) return number_unsigned(static_cast<number_unsigned_t>(value));
        if (depth_ != 1) return depth_ > 1;
        if (key_ == "total_blocks" && value >= INT32_MIN) {
            r_.TotalBlocks = static_cast<std::int32_t>(value);
            return true;
        }
        return !Known();
    }
    bool number_unsigned(number_unsigned_t value) override {
        if (depth_ != 1) return depth_ > 1;
        if (key_ == "package_size") r_.PackageSize = value;
        else if (key_ == "model_code" && value <= UINT32_MAX) r_.ModelCode = static_cast<std::uint32_t>(value);
        else if (key_ == "total_blocks" && value <= INT32_MAX) r_.TotalBlocks = static_cast<std::int32_t>(value);
        else if (key_ == "blocks_sent" && value <= UINT32_MAX) r_.BlocksSent = static_cast<std::uint32_t>(value);
        else return !Known();
        return true;
    }
    bool number_float(number_float_t, const string_t&) override { return Other(); }
    bool string(string_t& value) override {
        if (depth_ != 1) return depth_ > 1;
        if (key_ == "check_value") return CheckValue(value);
        std::string* field = TextField();
        if (!field) return !Known();
        *field = std::move(value);
        if (field == &r_.Start) sawStart_ = true;
        return true;
    }
    bool binary(binary_t&) override { return Other(); }
    bool start_object(std::size_t) override { return Open(); }
    bool start_array(std::size_t) override { return depth_ != 0 && Open(); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& value) override {
        if (depth_ == 1) key_ = std::move(value);
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
    bool Known() const {
        static constexpr std::string_view others[] = {"package_size", "model_code", "total_blocks",
                                                      "blocks_sent",  "completed",  "emulated",
                                                      "check_value"};
        for (std::string_view k : others)
            if (key_ == k) return true;
        return const_cast<RecordReader*>(this)->TextField() != nullptr;
    }
    std::string* TextField() {
        if (key_ == "start") return &r_.Start;
        if (key_ == "end") return &r_.End;
        if (key_ == "program") return &r_.Program;
        if (key_ == "version") return &r_.Version;
        if (key_ == "key_set") return &r_.KeySet;
        if (key_ == "package") return &r_.Package;
        if (key_ == "location") return &r_.Location;
        if (key_ == "node") return &r_.Node;
        if (key_ == "last_node") return &r_.LastNode;
        if (key_ == "serial") return &r_.Serial;
        if (key_ == "outcome") return &r_.Outcome;
        if (key_ == "last_command_problem") return &r_.LastCommandProblem;
        return nullptr;
    }
    // "0x" and four hex digits.
    bool CheckValue(const std::string& text) {
        if (text.size() != 6 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
        unsigned value = 0;
        for (char c : std::string_view(text).substr(2)) {
            value <<= 4;
            if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
            else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
            else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
            else return false;
        }
        r_.CheckValue = static_cast<std::uint16_t>(value);
        return true;
    }

    HistoryRecord& r_;
    std::string key_;
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
