#pragma once
// The window's timers, as the upgrade and the device watch see them. The window runs them
// on its own thread with Qt timers; tests and the command line run them in virtual or real
// time. Contract: SwitchOn of a timer that is on changes nothing (its period is not
// restarted); a timer switched on fires first one period later; SwitchOff cancels every
// coming firing, also from inside that timer's own handler.
#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

namespace quenfall {

enum class TimerId : std::uint8_t {
    EnterTunerMode,  // polls the answer to a run's first enter request
    EnterModeSure,   // waits for the radio's restart into boot mode
    EnterBootCheck,  // polls the answer to the enter request after the restart
    Check,           // polls the acknowledgement of the block in flight
    Update,          // sends the next block, the next section or the exit request
    ExitBootMode,    // polls the answer to the exit request
    Connect,         // the device watch's one-shot report
};
inline constexpr std::size_t TimerCount = 7;
inline constexpr std::array<TimerId, 6> SequencerTimers = {
    TimerId::EnterTunerMode, TimerId::EnterModeSure, TimerId::EnterBootCheck,
    TimerId::Check,          TimerId::Update,        TimerId::ExitBootMode};

inline constexpr std::chrono::milliseconds TickInterval{10};
inline constexpr std::chrono::milliseconds ConnectInterval{1000};

constexpr std::chrono::milliseconds TimerInterval(TimerId id) {
    return id == TimerId::Connect ? ConnectInterval : TickInterval;
}
std::string_view TimerName(TimerId id);

class TimerBank {
public:
    virtual ~TimerBank() = default;
    virtual void SwitchOn(TimerId id) = 0;
    virtual void SwitchOff(TimerId id) = 0;
    virtual bool IsOn(TimerId id) const = 0;
};

// The phase of a run is the sequencer timer that is on: none on means no run goes on.
bool AnySequencerTimerOn(const TimerBank& timers);

}  // namespace quenfall
