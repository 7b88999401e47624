#include "upgrade/virtual_clock.h"

namespace quenfall {

void VirtualClock::SwitchOn(TimerId id) {
    auto& due = due_[Index(id)];
    if (!due) due = now_ + TimerInterval(id);
}

void VirtualClock::SwitchOff(TimerId id) { due_[Index(id)].reset(); }

bool VirtualClock::IsOn(TimerId id) const { return due_[Index(id)].has_value(); }

std::optional<TimerId> VirtualClock::NextDue() const {
    std::optional<TimerId> next;
    for (std::size_t i = 0; i < TimerCount; ++i) {
        // Strictly earlier wins, so equal times go in TimerId order.
        if (due_[i] && (!next || *due_[i] < *due_[Index(*next)])) next = static_cast<TimerId>(i);
    }
    return next;
}

void VirtualClock::Fire(TimerId id) {
    auto& due = due_[Index(id)];
    now_ = *due;
    // The next period is booked before the handler runs, so a SwitchOn from inside it
    // changes nothing and a SwitchOff cancels it.
    due = now_ + TimerInterval(id);
    ++firings_[Index(id)];
    ++totalFirings_;
    if (dispatch_) dispatch_(id);
}

bool VirtualClock::Step() {
    const std::optional<TimerId> next = NextDue();
    if (!next) return false;
    Fire(*next);
    return true;
}

void VirtualClock::RunFor(std::chrono::milliseconds duration) {
    const std::chrono::milliseconds end = now_ + duration;
    for (;;) {
        const std::optional<TimerId> next = NextDue();
        if (!next || *due_[Index(*next)] > end) break;
        Fire(*next);
    }
    if (now_ < end) now_ = end;
}

void VirtualClock::RunTicks(std::int64_t ticks) { RunFor(ticks * TickInterval); }

bool VirtualClock::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const std::chrono::milliseconds end = now_ + limit;
    for (;;) {
        if (done()) return true;
        const std::optional<TimerId> next = NextDue();
        if (!next || *due_[Index(*next)] > end) return false;
        Fire(*next);
    }
}

void VirtualClock::Advance(std::chrono::milliseconds duration) {
    now_ += duration;
    // Timers that fell due meanwhile fire late, once, as a busy thread would let them.
    for (auto& due : due_) {
        if (due && *due < now_) due = now_;
    }
}

}  // namespace quenfall
