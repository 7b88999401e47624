#pragma once
// A timer bank in virtual time, for tests and simulations: nothing waits, RunFor and its
// kin fire the timers that are on in time order (ties in TimerId order) and hand each
// firing to the callback. It keeps the bank's contract: SwitchOn of a running timer does
// not restart its period; a timer first fires one period after being switched on; a
// SwitchOff from inside a handler cancels every coming firing of that timer.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "upgrade/timer_bank.h"

namespace quenfall {

class VirtualClock : public TimerBank {
public:
    using Dispatch = std::function<void(TimerId)>;

    VirtualClock() = default;
    explicit VirtualClock(Dispatch dispatch) : dispatch_(std::move(dispatch)) {}
    void SetDispatch(Dispatch dispatch) { dispatch_ = std::move(dispatch); }

    void SwitchOn(TimerId id) override;
    void SwitchOff(TimerId id) override;
    bool IsOn(TimerId id) const override;

    // Virtual time since construction.
    std::chrono::milliseconds Now() const { return now_; }
    // A clock for the emulated radio and anything else that must see virtual time.
    std::function<std::chrono::milliseconds()> NowFunction() const {
        return [this] { return now_; };
    }

    // Fires the one next firing, moving the clock to its time. False when no timer is on.
    bool Step();
    // Fires everything due up to now + duration, then sets the clock there.
    void RunFor(std::chrono::milliseconds duration);
    // RunFor(ticks x 10 ms).
    void RunTicks(std::int64_t ticks);
    // Fires one firing at a time until done() is true (checked before each firing) or the
    // next firing lies beyond now + limit. True when done() became true.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
    // Lets time pass with nothing on, as a paused thread does.
    void Advance(std::chrono::milliseconds duration);

    // Firings dispatched so far, per timer and in all.
    std::uint64_t Firings(TimerId id) const { return firings_[Index(id)]; }
    std::uint64_t TotalFirings() const { return totalFirings_; }

private:
    static std::size_t Index(TimerId id) { return static_cast<std::size_t>(id); }
    std::optional<TimerId> NextDue() const;
    void Fire(TimerId id);

    Dispatch dispatch_;
    std::chrono::milliseconds now_{0};
    std::array<std::optional<std::chrono::milliseconds>, TimerCount> due_{};
    std::array<std::uint64_t, TimerCount> firings_{};
    std::uint64_t totalFirings_ = 0;
};

}  // namespace quenfall
