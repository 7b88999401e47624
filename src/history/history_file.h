#pragma once
// The history file on this system. Where it is and appending to it are the platform's
// (HistoryPath and AppendHistoryLine, platform/platform.h); the rules every platform keeps:
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

#include "platform/platform.h"

namespace quenfall {

// How long an append waits for another program's lock before it gives up: a history must
// never hold up the end of an upgrade for long.
inline constexpr std::chrono::milliseconds HistoryLockPatience{2000};


}  // namespace quenfall
