#pragma once
// The seven timers of the window on a true 10 ms grid. Windows' own window timers tick on
// the system's clock interrupt, about every 15.6 ms, which would stretch every answer
// window of the upgrade by half. Here a helper thread, with the system timer resolution
// raised to 1 ms, waits for the next due firing and posts it to the window; the window
// procedure hands it back through Take on the window's thread, where the handler runs.
// Where Windows has them (10, version 1803 on), the helper waits on a high-resolution
// waitable timer, which keeps its precision also when Windows 11 stops honouring the raised
// timer resolution of a minimised or covered window.
//
// Like a window timer, a timer has at most one firing waiting in the queue: a late
// firing is not followed by a burst, the next one keeps to the timer's grid.
//
// A timer switched on by the handler of a firing counts its period from that firing's
// due time, not from the moment the handler got to run: the upgrade hands its run from one
// timer to the next on every tick, and the ~1 ms by which any wait of the system ends late
// would otherwise add up tick after tick (+5 to 10 % on every block).
#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <thread>

#include "upgrade/timer_bank.h"

namespace quenfall::ui {

class Win32TimerBank : public TimerBank {
public:
    // The message posted to the window for a firing; its parameters are for Take only.
    static constexpr UINT FiredMessage = WM_APP + 1;

    explicit Win32TimerBank(HWND window);
    ~Win32TimerBank() override;
    Win32TimerBank(const Win32TimerBank&) = delete;
    Win32TimerBank& operator=(const Win32TimerBank&) = delete;

    void SwitchOn(TimerId id) override;
    void SwitchOff(TimerId id) override;
    bool IsOn(TimerId id) const override;

    // For a FiredMessage: the timer whose handler is to run now, or nothing when that timer
    // was switched off (or off and on again) since the firing was posted.
    std::optional<TimerId> Take(WPARAM wParam, LPARAM lParam);
    // The handler of the firing that Take gave has returned.
    void TickDone();
    // Whether the helper waits on a high-resolution waitable timer (else on the raised
    // system timer resolution).
    bool HighResolutionWaits() const { return precise_ != nullptr; }

private:
    struct Slot {
        bool On = false;
        bool Posted = false;          // a firing waits in the window's queue
        std::uint32_t Generation = 0; // changes with every switch, so stale firings are dropped
        std::int64_t Due = 0;         // microseconds on the bank's clock
        std::int64_t PostedDue = 0;   // the due time of the firing waiting in the queue
    };
    std::int64_t Now() const;
    void Run();

    HWND window_;
    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    HANDLE wake_;
    HANDLE precise_ = nullptr;
    bool finePeriod_ = false;
    bool quit_ = false;
    std::array<Slot, TimerCount> slots_{};
    std::optional<std::int64_t> tickDue_;  // while a firing's handler runs: its due time
    LARGE_INTEGER frequency_{};
    std::thread thread_;
};

}  // namespace quenfall::ui
