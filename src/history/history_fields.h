#pragma once
// Every field of a history line and where the record keeps it: the one list that writing
// and reading a line both follow.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "history/history_record.h"

namespace quenfall::history_fields {

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
inline constexpr std::array<Field, 20> Fields = {{
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

// The field of that name; none for a name no version of this program writes.
inline const Field* FieldNamed(std::string_view name) {
    for (const Field& field : Fields) {
        if (name == field.Name) return &field;
    }
    return nullptr;
}
}  // namespace quenfall::history_fields
