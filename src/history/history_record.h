#pragma once
// One upgrade run as the history keeps it: one record per run that sent the radio a first
// request, whatever the program (the window, quenfall-cli), whatever the ending. A plain
// value; its one written form is a line of JSON (history_json.h).
#include <cstdint>
#include <string>
#include <string_view>

namespace quenfall {

struct Package;

struct HistoryRecord {
    std::string Start;        // UTC, "2026-12-09T12:34:56.789Z"
    std::string End;
    std::string Program;      // "quenfall-cli", "quenfall"
    std::string Version;
    std::string KeySet;       // the key set's fingerprint
    std::string Package;      // the package file's name, without its folder
    std::uint64_t PackageSize = 0;  // bytes of the file
    std::uint32_t ModelCode = 0;
    std::uint16_t CheckValue = 0;
    std::string Sha256;       // of the package file, lowercase hex
    std::int32_t TotalBlocks = 0;   // blocks of every present section
    std::string Location;     // the radio's USB port; empty when the platform cannot tell
    std::string Node;         // its device node at the start of the run
    std::string LastNode;     // and at its end
    std::string Serial;       // its USB serial number, where the system gives one
    std::string Outcome;      // the text the run ended with
    bool Completed = false;   // ended with " Program upgrade is complete!"
    std::uint32_t BlocksSent = 0;
    // The last command whose outcome was not good (a device's status, a transport or an
    // OS error), in words; empty when every command went through or nothing says.
    std::string LastCommandProblem;
    bool Emulated = false;    // a run against the emulated radio: training, not a real write

    bool operator==(const HistoryRecord&) const = default;
};

// The package's part of a record: its name, size, model code, check value, SHA-256 and
// blocks.
void SetPackageFacts(HistoryRecord& record, const Package& package, std::string_view fileName);

// "0x1A2B", as the report writes check values.
std::string CheckValueText(std::uint16_t value);

}  // namespace quenfall
