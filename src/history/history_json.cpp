#include "history/history_json.h"

#include <type_traits>

#include <nlohmann/json.hpp>

#include "history/history_fields.h"

namespace quenfall {

namespace {

using Json = nlohmann::ordered_json;
using history_fields::CheckValueField;
using history_fields::Field;
using history_fields::Fields;

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

}  // namespace

std::string HistoryLine(const HistoryRecord& record) {
    // Invalid UTF-8 (a file name from an odd file system) is replaced, never refused: the
    // record is written whatever the names hold.
    return ToJson(record).dump(-1, ' ', false, Json::error_handler_t::replace);
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
