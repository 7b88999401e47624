#pragma once
// Where a user's history is, from the environment, by each system's convention. Pure: the
// platform's file (history_file.h) hands in what its environment says.
#include <filesystem>

namespace quenfall {

struct HistoryEnvironment {
    std::filesystem::path Override;      // QUENFALL_HISTORY: another file (tests, a shop's share)
    std::filesystem::path XdgStateHome;  // XDG_STATE_HOME
    std::filesystem::path Home;          // HOME
    std::filesystem::path LocalAppData;  // %LOCALAPPDATA%
    // An elevated process on Windows: its environment may come from the unelevated program
    // that started it, so the default place is the folder of the account it runs as.
    bool Elevated = false;
    std::filesystem::path OwnLocalAppData;  // that account's local application data
};

// $XDG_STATE_HOME/quenfall/history.jsonl, ~/.local/state/quenfall/history.jsonl when it is
// unset or not absolute (as the base directory convention says); empty when there is no
// home either.
std::filesystem::path LinuxHistoryPath(const HistoryEnvironment& environment);
// %LOCALAPPDATA%\Quenfall\history.jsonl (the account's own folder when elevated); empty
// without one.
std::filesystem::path WindowsHistoryPath(const HistoryEnvironment& environment);

// What this process's environment says, read as narrow strings (a system whose environment
// is wide reads its own).
HistoryEnvironment NarrowHistoryEnvironment();

}  // namespace quenfall
