#pragma once
// The record of a crate that "Save record..." writes: one CSV row per row of the window, under
// a header row, for the shop's own books. Pure: rows in, text out.
#include <chrono>
#include <optional>
#include <span>
#include <string>

namespace quenfall::window {

struct ShopRecordRow {
    std::string Location;  // the USB port, or the node where the system tells none
    std::string Serial;    // empty when the radio has none
    bool Emulated = false;
    std::string Node;
    std::string Package;   // the file of its last run; empty before its first
    std::string Sha256;    // that file's, lowercase hex; empty where not known
    std::string Outcome;   // how its last run ended; "running" while it goes on; empty before
    std::optional<std::chrono::milliseconds> TimeTaken;  // of its last run, once ended
    std::string Start;     // when its last run started, as the history writes times
};

// "location,serial,emulated,node,package,sha256,outcome,seconds,start" and a row each; the
// time taken in seconds to the tenth. Fields are quoted as RFC 4180 has it, and control
// characters written as \xHH, so that every row is one line.
std::string ShopRecordCsv(std::span<const ShopRecordRow> rows);

}  // namespace quenfall::window
