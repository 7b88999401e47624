#pragma once
// Station mode's one rule: each radio is upgraded once as it is plugged in, never twice in a
// row. A radio that comes back is the same radio: during its run (its restart into boot
// mode, which the run follows on its own) or after it (a radio that resets and stays in
// programming mode). It is upgraded again only once it has been away for longer than its
// restart wait, or when the user asks for it (Retry).
//
// A radio is known by the USB port it hangs from and, where it has a USB serial that no other
// radio on the bus shares, by that serial: a radio moved to another port within the wait is
// still the same radio, and another radio put into the port of one just unplugged is a new
// one at once. Without a serial, a radio swapped for another within the restart wait cannot
// be told from the first one coming back: the second is not upgraded until it has been
// unplugged for the wait, or retried.
//
// A plain state machine over the scans it is shown and the runs' ends, with its clock passed
// in: no thread, no timer, no link.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/drive_list_link.h"
#include "upgrade/timer_bank.h"
#include "upgrade/upgrade_sequencer.h"

namespace quenfall {

// The sequencer's own wait for a radio to restart into boot mode: a radio away for less
// than that may be coming back.
inline constexpr std::chrono::milliseconds StationRestartWait = TickInterval * RestartWaitTicks;

class StationRule {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    enum class State {
        Running,  // its run goes on; its comings and goings are the run's
        Done,     // its run ended and it is (or may be) still plugged in: not upgraded again
        Away,     // its run ended and it has left, at Since
        Waiting,  // its run ended, and a Retry asks for another once it is plugged in
    };

    // One radio the rule knows, as it stands.
    struct Radio {
        std::string Location;  // its port; its node where the platform tells no port
        std::string Serial;    // its serial when it had a unique one at its last sighting
        State Now = State::Running;
        TimePoint Since{};     // when it left (Away)
        std::size_t Runs = 0;  // runs started for it
    };

    explicit StationRule(std::chrono::milliseconds restartWait = StationRestartWait) : restartWait_(restartWait) {}

    // What one scan found on the bus at now (each drive's Serial empty where the system
    // gives none). Returns the radios to upgrade now, in the scan's order; the rule counts
    // each as Running from here.
    std::vector<RadioDrive> Seen(const std::vector<RadioDrive>& scan, TimePoint now);
    // The run of the radio at location ended.
    void Ended(const std::string& location);
    // A radio upgraded before the station began (the shop window's Upgrade all, before its
    // station mode was turned on): the same radio, done, as if its run had been the station's.
    void Known(const RadioDrive& drive);
    // The user asks for another run of the radio at location: it starts at the next scan
    // that lists it. False when the rule knows no such radio or its run goes on.
    bool Retry(const std::string& location);

    // Every radio the rule knows, in the order they first arrived.
    const std::vector<Radio>& Radios() const { return radios_; }
    // True while any run goes on.
    bool Running() const;
    // "running", "done", "away", "waiting": the state in a word, for tests and diagnostics.
    static const char* StateName(State state);

private:
    Radio* Find(const RadioDrive& sighting, bool serialUsable, TimePoint now);

    std::chrono::milliseconds restartWait_;
    std::vector<Radio> radios_;
};

// A drive's location for the rule: its port, or its node where the platform tells no port.
std::string StationLocation(const RadioDrive& drive);

}  // namespace quenfall
