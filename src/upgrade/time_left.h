#pragma once
// What a run is doing and how long is left, for every front end that shows a run: the
// phase in plain words, the blocks, the percentage and the time left.
//
// The time left is the blocks still to send times the block time measured so far in this
// upload (two ticks a block, the fastest the stop-and-wait allows, until there is a
// measurement), plus the waits still ahead: the radio's restart, the exit answer and the
// completion pause. It is the mean over the whole upload, not of the last few blocks, so
// that it is steady; and it is never allowed to rise by more than the noise of that
// measurement from one acknowledged block to the next (and not at all between two), so
// that a slow block does not make it jump back.
//
// A plain value and free functions: the host keeps one TimeLeftEstimator per run and looks
// at it after the run's ticks, with the time of the look. Nothing here allocates or
// wakes anyone up.
#include <chrono>
#include <cstdint>
#include <string_view>

#include "upgrade/timer_bank.h"

namespace quenfall {

enum class RunPhase : std::uint8_t {
    Idle,              // no run yet
    EnteringBootMode,  // the first enter request awaited
    RadioRestarting,   // the radio restarts into boot mode: it leaves the bus and comes back
    CheckingBootMode,  // the enter request after the restart awaited
    Uploading,         // blocks sent and acknowledged
    LeavingBootMode,   // the exit request awaited, then the completion pause
    Ended,
};

// The phase in English words, the same whatever the user's language: "entering boot mode",
// "radio restarting", "checking boot mode", "uploading", "leaving boot mode", "ended", "idle".
std::string_view PhaseName(RunPhase phase);
// What a person reads: the phase, with a warning where unplugging the radio would spoil the
// run while nothing seems to move ("radio restarting, do not unplug"). English, marked for the
// catalogue: shown as text::Tr(PhaseText(phase)).
std::string_view PhaseText(RunPhase phase);

// The phase of the run whose sequencer timers these are: none on is Idle (the host knows
// when a run has ended).
RunPhase PhaseOf(const TimerBank& timers);

struct RunProgress {
    RunPhase Phase = RunPhase::Idle;
    std::int32_t BlocksDone = 0;   // block requests acknowledged
    std::int32_t BlocksTotal = 0;  // block requests the whole run sends
    int Percent = 0;               // 0..100, from the blocks; 100 once every block is done
    std::chrono::milliseconds Left{0};

    bool operator==(const RunProgress&) const = default;
};

// Whole seconds left, rounded up, as every front end shows them.
std::int64_t SecondsLeft(const RunProgress& progress);
// "0:40", "12:05", "1:02:03".
void FormatTimeLeft(std::int64_t seconds, char (&text)[16]);
// Whether two looks at a run show the same: phase, blocks, percentage and whole seconds.
bool ShownAlike(const RunProgress& a, const RunProgress& b);

// The waits the estimate counts on, from the run's fixed tick counts.
inline constexpr std::chrono::milliseconds BlockTimeBound = 2 * TickInterval;  // check tick + update tick
inline constexpr std::chrono::milliseconds RestartWait = 801 * TickInterval;   // reopen on the 801st tick
inline constexpr std::chrono::milliseconds CompletionWait{2000 + 10};          // exit answer tick + pause

// The estimator's memory of one run. Zero-initialised for a new run.
struct TimeLeftEstimator {
    using Clock = std::chrono::steady_clock;
    RunPhase Phase = RunPhase::Idle;
    Clock::time_point PhaseSince{};
    Clock::time_point UploadSince{};
    bool UploadStarted = false;
    std::int32_t BlocksAtUpload = 0;
    std::int32_t LastBlocks = 0;
    Clock::time_point LastBlockAt{};
    std::chrono::nanoseconds BlockTime = BlockTimeBound;  // the bound until measured
    bool Measured = false;
    bool Announced = false;
    std::chrono::nanoseconds AnnouncedLeft{};
    Clock::time_point AnnouncedAt{};
    std::int32_t AnnouncedBlocks = 0;
};

// The run as it stands at now, given its phase and its blocks; remembers what it needs
// for the next look. Looks come in time order.
RunProgress EstimateRun(TimeLeftEstimator& estimator, RunPhase phase, std::int32_t blocksDone,
                        std::int32_t blocksTotal, TimeLeftEstimator::Clock::time_point now);

}  // namespace quenfall
