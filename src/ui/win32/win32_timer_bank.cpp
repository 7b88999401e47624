#include "ui/win32/win32_timer_bank.h"


#include <algorithm>
#include <limits>

#include "ui/win32/system_library.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace quenfall::ui {
namespace {

class Locked {
public:
    explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Locked() { ReleaseSRWLockExclusive(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    SRWLOCK& lock_;
};

std::int64_t Microseconds(std::chrono::milliseconds interval) { return interval.count() * 1000; }

}  // namespace

Win32TimerBank::Win32TimerBank(HWND window) : window_(window), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    QueryPerformanceFrequency(&frequency_);
    precise_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    // Waits of 1 ms resolution instead of the clock interrupt's 15.6 ms, for as long as the
    // window lives.
    finePeriod_ = BeginFineTimerPeriod();
    thread_ = std::thread([this] { Run(); });
}

Win32TimerBank::~Win32TimerBank() {
    {
        Locked locked(lock_);
        quit_ = true;
    }
    SetEvent(wake_);
    thread_.join();
    CloseHandle(wake_);
    if (precise_ != nullptr) CloseHandle(precise_);
    if (finePeriod_) EndFineTimerPeriod();
}

std::int64_t Win32TimerBank::Now() const {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart / frequency_.QuadPart * 1000000 + counter.QuadPart % frequency_.QuadPart * 1000000 / frequency_.QuadPart;
}

void Win32TimerBank::SwitchOn(TimerId id) {
    {
        Locked locked(lock_);
        Slot& slot = slots_[static_cast<std::size_t>(id)];
        // A running timer keeps its period.
        if (slot.On) return;
        slot.On = true;
        slot.Posted = false;
        ++slot.Generation;
        slot.Due = tickDue_.value_or(Now()) + Microseconds(TimerInterval(id));
    }
    SetEvent(wake_);
}

void Win32TimerBank::SwitchOff(TimerId id) {
    Locked locked(lock_);
    Slot& slot = slots_[static_cast<std::size_t>(id)];
    if (!slot.On) return;
    slot.On = false;
    slot.Posted = false;
    ++slot.Generation;
}

bool Win32TimerBank::IsOn(TimerId id) const {
    Locked locked(lock_);
    return slots_[static_cast<std::size_t>(id)].On;
}

std::optional<TimerId> Win32TimerBank::Take(WPARAM wParam, LPARAM lParam) {
    if (wParam >= TimerCount) return std::nullopt;
    {
        Locked locked(lock_);
        Slot& slot = slots_[wParam];
        if (!slot.On || slot.Generation != static_cast<std::uint32_t>(lParam)) return std::nullopt;
        slot.Posted = false;
        tickDue_ = slot.PostedDue;
    }
    // The helper may have a firing of this timer to post now.
    SetEvent(wake_);
    return static_cast<TimerId>(wParam);
}

void Win32TimerBank::TickDone() {
    Locked locked(lock_);
    tickDue_.reset();
}

void Win32TimerBank::Run() {
    // It only posts; running before everything else keeps the posts on time on a busy machine.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    for (;;) {
        std::int64_t wait = std::numeric_limits<std::int64_t>::max();
        {
            Locked locked(lock_);
            if (quit_) return;
            const std::int64_t now = Now();
            for (std::size_t i = 0; i < slots_.size(); ++i) {
                Slot& slot = slots_[i];
                if (!slot.On || slot.Posted) continue;
                if (slot.Due <= now) {
                    slot.PostedDue = slot.Due;
                    // A full queue loses the firing, as it would a window timer's; the next
                    // one is posted on the grid.
                    slot.Posted = PostMessageW(window_, FiredMessage, i, static_cast<LPARAM>(slot.Generation)) != FALSE;
                    // The next firing keeps to the grid; firings missed while the window was
                    // busy are not made up.
                    const std::int64_t interval = Microseconds(TimerInterval(static_cast<TimerId>(i)));
                    slot.Due += interval;
                    if (slot.Due <= now) slot.Due += (now - slot.Due) / interval * interval + interval;
                    if (!slot.Posted) wait = std::min(wait, slot.Due - now);
                    continue;
                }
                wait = std::min(wait, slot.Due - now);
            }
        }
        if (wait == std::numeric_limits<std::int64_t>::max()) {
            WaitForSingleObject(wake_, INFINITE);
        } else if (precise_ != nullptr) {
            LARGE_INTEGER due;
            due.QuadPart = -wait * 10;  // relative, in 100 ns
            SetWaitableTimer(precise_, &due, 0, nullptr, nullptr, FALSE);
            const HANDLE events[] = {wake_, precise_};
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) CancelWaitableTimer(precise_);
        } else {
            // Rounded up, so a firing is never posted early; the 1 ms resolution keeps it near.
            WaitForSingleObject(wake_, static_cast<DWORD>((wait + 999) / 1000));
        }
    }
}

}  // namespace quenfall::ui
