#pragma once
// The history file on this system. This is the interface each platform's file
// (history/linux, history/windows) implements; exactly one is built.
//
// Appending keeps every earlier record whatever happens: the file is only ever appended
// to; each record is one line written whole by one write while the writer holds an
// exclusive advisory lock on the file (flock on Linux, LockFileEx on Windows), so records
// of programs appending at once never interleave; the line is flushed to the disk before
// the call returns (after the lock is given back: the lock orders the writes, and no other
// program waits on this one's disk flush). A writer that finds the file not ending in a line end (a record torn
// by a crash or a power cut) starts its record on a new line, so the torn one stays alone
// on its line, where reading passes over it.
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace quenfall {

// This user's history file, from the environment (history_place.h); empty when none can
// be named.
std::filesystem::path HistoryPath();

// How long an append waits for another program's lock before it gives up: a history must
// never hold up the end of an upgrade for long.
inline constexpr std::chrono::milliseconds HistoryLockPatience{2000};

// Appends line (one record, without its line end) to file, creating the file and its
// folders as needed. Empty when the record is on the disk; otherwise what went wrong, in
// words. Never throws.
std::string AppendHistoryLine(const std::filesystem::path& file, std::string_view line);

}  // namespace quenfall
