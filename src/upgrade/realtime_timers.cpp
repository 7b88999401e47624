#include "upgrade/realtime_timers.h"

#include <thread>

namespace quenfall {

void RealtimeTimers::SwitchOn(TimerId id) {
    auto& due = due_[Index(id)];
    if (due) return;
    due = (firing_ ? *firing_ : Clock::now()) + TimerInterval(id);
}

void RealtimeTimers::SwitchOff(TimerId id) { due_[Index(id)].reset(); }

bool RealtimeTimers::IsOn(TimerId id) const { return due_[Index(id)].has_value(); }

bool RealtimeTimers::Step() { return StepBefore(Clock::time_point::max()); }

bool RealtimeTimers::StepBefore(Clock::time_point limit) {
    std::optional<std::size_t> next;
    for (std::size_t i = 0; i < due_.size(); ++i) {
        if (due_[i] && (!next || *due_[i] < *due_[*next])) next = i;
    }
    if (!next) return false;
    const Clock::time_point at = *due_[*next];
    if (at > limit) {
        // MinGW's sleep_until can wake up to a millisecond early.
        while (Clock::now() < limit) std::this_thread::sleep_until(limit);
        return false;
    }
    std::this_thread::sleep_until(at);

    const auto id = static_cast<TimerId>(*next);
    const auto period = TimerInterval(id);
    Clock::time_point following = at + period;
    const Clock::time_point now = Clock::now();
    if (following <= now) following += (now - following) / period * period + period;
    due_[*next] = following;

    firing_ = at;
    ++firings_;
    if (dispatch_) dispatch_(id);
    firing_.reset();
    return true;
}

void RealtimeTimers::RunUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (!Step()) return;
    }
}

}  // namespace quenfall
