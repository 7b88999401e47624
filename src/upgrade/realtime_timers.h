#pragma once
// The timer bank in real time, for the runs of the command line and the shop window: a portable loop on steady_clock that
// sleeps until the next firing is due and then runs its handler, all on the calling thread.
//
// Firings keep to a grid: a timer's next firing is due one period after the nominal time
// of the firing before, and a timer switched on from inside a handler counts its first
// period from that handler's nominal time. Waking a little late therefore never adds up,
// and an upload costs its ticks and no more. A firing that is late by more than a period
// (the completion pause blocks the thread for 2 s) fires once; the missed ones are dropped,
// as the window's timers drop them.
#include <array>
#include <chrono>
#include <functional>
#include <optional>

#include "upgrade/timer_bank.h"

namespace quenfall {

class RealtimeTimers : public TimerBank {
public:
    using Clock = std::chrono::steady_clock;
    using Dispatch = std::function<void(TimerId)>;

    RealtimeTimers() = default;
    void SetDispatch(Dispatch dispatch) { dispatch_ = std::move(dispatch); }

    void SwitchOn(TimerId id) override;
    void SwitchOff(TimerId id) override;
    bool IsOn(TimerId id) const override;

    // Sleeps until the next firing and runs it. False, at once, when no timer is on.
    bool Step();
    // The same, unless the next firing is due after limit: then sleeps until limit (or not at
    // all, with no timer on) and returns false.
    bool StepBefore(Clock::time_point limit);
    // Steps until done() is true (checked before each firing) or no timer is on.
    void RunUntil(const std::function<bool()>& done);

    std::uint64_t Firings() const { return firings_; }
    // The time the firing being handled was due; none outside a handler.
    std::optional<Clock::time_point> FiringTime() const { return firing_; }

private:
    static std::size_t Index(TimerId id) { return static_cast<std::size_t>(id); }

    Dispatch dispatch_;
    std::array<std::optional<Clock::time_point>, TimerCount> due_{};
    std::optional<Clock::time_point> firing_;  // nominal time of the firing being handled
    std::uint64_t firings_ = 0;
};

}  // namespace quenfall
