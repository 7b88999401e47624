#include "upgrade/time_left.h"

#include <algorithm>
#include <cstdio>

#include "text/translation.h"

namespace quenfall {

namespace {
using Clock = TimeLeftEstimator::Clock;
using std::chrono::nanoseconds;
}  // namespace

std::string_view PhaseName(RunPhase phase) {
    // Translators: a run's phase, at the end of a terminal's progress line; keep it short.
    switch (phase) {
        case RunPhase::Idle: return text::Translatable("idle");
        case RunPhase::EnteringBootMode: return text::Translatable("entering boot mode");
        case RunPhase::RadioRestarting: return text::Translatable("radio restarting");
        case RunPhase::CheckingBootMode: return text::Translatable("checking boot mode");
        case RunPhase::Uploading: return text::Translatable("uploading");
        case RunPhase::LeavingBootMode: return text::Translatable("leaving boot mode");
        case RunPhase::Ended: return text::Translatable("ended");
    }
    return text::Translatable("idle");
}

std::string_view PhaseText(RunPhase phase) {
    switch (phase) {
        case RunPhase::RadioRestarting:
            // Translators: a run's phase at the end of a terminal's progress line; keep it short.
            return text::Translatable("radio restarting, do not unplug");
        default: return PhaseName(phase);
    }
}

RunPhase PhaseOf(const TimerBank& timers) {
    // A second Upgrade click during boot-mode entry may leave two on for a tick: the later
    // phase is the one the run is in.
    if (timers.IsOn(TimerId::ExitBootMode)) return RunPhase::LeavingBootMode;
    if (timers.IsOn(TimerId::Check) || timers.IsOn(TimerId::Update)) return RunPhase::Uploading;
    if (timers.IsOn(TimerId::EnterBootCheck)) return RunPhase::CheckingBootMode;
    if (timers.IsOn(TimerId::EnterModeSure)) return RunPhase::RadioRestarting;
    if (timers.IsOn(TimerId::EnterTunerMode)) return RunPhase::EnteringBootMode;
    return RunPhase::Idle;
}

std::int64_t SecondsLeft(const RunProgress& progress) {
    const auto ms = std::max<std::int64_t>(progress.Left.count(), 0);
    return (ms + 999) / 1000;
}

void FormatTimeLeft(std::int64_t seconds, char (&text)[16]) {
    seconds = std::clamp<std::int64_t>(seconds, 0, 99 * 3600 + 59 * 60 + 59);
    const auto h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(h), static_cast<long long>(m),
                      static_cast<long long>(s));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(m), static_cast<long long>(s));
    }
}

bool ShownAlike(const RunProgress& a, const RunProgress& b) {
    return a.Phase == b.Phase && a.BlocksDone == b.BlocksDone && a.BlocksTotal == b.BlocksTotal &&
           a.Percent == b.Percent && SecondsLeft(a) == SecondsLeft(b);
}

RunProgress EstimateRun(TimeLeftEstimator& e, RunPhase phase, std::int32_t blocksDone, std::int32_t blocksTotal,
                        Clock::time_point now) {
    if (phase != e.Phase) {
        e.Phase = phase;
        e.PhaseSince = now;
    }
    if (phase == RunPhase::Uploading && !e.UploadStarted) {
        e.UploadStarted = true;
        e.UploadSince = now;
        e.BlocksAtUpload = blocksDone;
        e.LastBlocks = blocksDone;
        e.LastBlockAt = now;
    }
    if (e.UploadStarted && blocksDone > e.LastBlocks) {
        e.LastBlocks = blocksDone;
        e.LastBlockAt = now;
        const std::int32_t measured = blocksDone - e.BlocksAtUpload;
        if (measured > 0) {
            e.BlockTime = std::max<nanoseconds>((now - e.UploadSince) / measured, nanoseconds(1));
            e.Measured = true;
        }
    }

    const std::int32_t remaining = std::max(blocksTotal - blocksDone, 0);
    const nanoseconds upload = e.BlockTime * remaining;
    const nanoseconds inPhase = now - e.PhaseSince;
    nanoseconds left{0};
    switch (phase) {
        case RunPhase::Idle:
        case RunPhase::Ended: break;
        case RunPhase::EnteringBootMode: left = RestartWait + TickInterval + upload + CompletionWait; break;
        case RunPhase::RadioRestarting:
            left = std::max<nanoseconds>(RestartWait - inPhase, nanoseconds(0)) + TickInterval + upload + CompletionWait;
            break;
        case RunPhase::CheckingBootMode: left = TickInterval + upload + CompletionWait; break;
        case RunPhase::Uploading: {
            // Between two acknowledgements the time goes on running down.
            const nanoseconds sinceBlock = std::min<nanoseconds>(now - e.LastBlockAt, e.BlockTime);
            left = std::max<nanoseconds>(upload - sinceBlock, nanoseconds(0)) + CompletionWait;
            break;
        }
        case RunPhase::LeavingBootMode:
            left = std::max<nanoseconds>(CompletionWait - inPhase, nanoseconds(0));
            break;
    }

    // In the upload, never back up by more than the measurement's noise: at most what was
    // said minus the time gone since, plus, when a block was measured since, two block
    // times or a twentieth, whichever is more. The other phases' waits are fixed counts.
    if (phase == RunPhase::Uploading && e.Announced) {
        const nanoseconds said = std::max<nanoseconds>(e.AnnouncedLeft - (now - e.AnnouncedAt), nanoseconds(0));
        const nanoseconds noise =
            blocksDone > e.AnnouncedBlocks ? std::max<nanoseconds>(2 * e.BlockTime, said / 20) : nanoseconds(0);
        left = std::min(left, said + noise);
    }
    e.Announced = phase == RunPhase::Uploading;
    e.AnnouncedLeft = left;
    e.AnnouncedAt = now;
    e.AnnouncedBlocks = blocksDone;

    RunProgress progress;
    progress.Phase = phase;
    progress.BlocksDone = blocksDone;
    progress.BlocksTotal = blocksTotal;
    if (blocksTotal > 0) {
        progress.Percent = static_cast<int>(std::clamp<std::int64_t>(
            static_cast<std::int64_t>(std::max(blocksDone, 0)) * 100 / blocksTotal, 0, 100));
    }
    progress.Left = std::chrono::duration_cast<std::chrono::milliseconds>(left);
    return progress;
}

}  // namespace quenfall
