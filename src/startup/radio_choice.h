#pragma once
// The radios a program talks to, chosen once as it starts from its command line: the
// platform's, or emulated ones (--emulate [N], --emulate-fault NAME[@K]). This is the one place
// that knows the emulated radio and reads its options; every front end (quenfall-cli's
// devices, flash and flash --all, the main window, the shop window) asks the chosen Radios
// for what it needs, and never which kind they are.
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_list_link.h"
#include "package/package.h"
#include "runs/radio_source.h"
#include "startup/radio_preflight.h"
#include "upgrade/device_link.h"

namespace quenfall {

class EmulatedRadioLink;

// The faults --emulate-fault names, each a misbehaviour the emulated radio has anyway, for
// practice with failed runs (and Retry failed) and for tests of what a failed run leaves:
//   no-answer   the radio never acknowledges a block
//   lost        it leaves the bus after its first block and does not come back
//   bad-answer  it answers every block with a wrong check sum
//   refused     the drive refuses the vendor commands
inline constexpr std::array<std::string_view, 4> EmulationFaults = {"no-answer", "lost", "bad-answer", "refused"};
// "no-answer, lost, bad-answer or refused", for usage errors.
std::string EmulationFaultNames();

// One --emulate-fault: a fault of radio Radio of the crate (from 1, in slot or arrival
// order), or of every emulated radio when Radio is 0.
struct EmulationFault {
    std::string_view Name;  // one of EmulationFaults
    std::size_t Radio = 0;
};
// "NAME" or "NAME@K" with K from 1; none for anything else.
std::optional<EmulationFault> ReadEmulationFault(std::string_view word);

// What the command line asks of the radios.
struct RadioRequest {
    bool Emulate = false;
    std::size_t Radios = 1;  // emulated ones: a crate's (devices, flash --all or --device, the shop window)
    std::vector<EmulationFault> Faults;  // of the emulated radios; the last one naming a radio wins
};

// What the radio of a run found of it, once the run is over.
struct RadioCheck {
    std::vector<std::string> Problems;  // each fails the run, in words
    std::string Received;               // for a run without problems, what it received; may be empty
};

// One radio for a run of its own (quenfall-cli flash without --all or --device).
class SingleRadio {
public:
    virtual ~SingleRadio() = default;
    virtual DeviceLink& Link() = 0;
    // The radio as found before the run.
    virtual const RadioDrive& Drive() const = 0;
    // Arrivals and removals since the last call, for the run's device watch; may be empty.
    virtual std::function<int()> UsbEvents() = 0;
    // After the run: the node the radio was last found under; empty when it cannot tell.
    virtual std::string LastNode() const = 0;
    virtual RadioCheck Check(bool completed, const Package& package) const = 0;
};

// The main window's radio.
class WindowRadio {
public:
    // Runs a task on the window's thread once the current handler has returned.
    using Post = std::function<void(std::function<void()>)>;
    // How often a face calls Advance, when there is one.
    static constexpr int AdvanceIntervalMs = 50;

    virtual ~WindowRadio() = default;
    virtual DeviceLink& Link() = 0;
    // The link's drive list, whose last scan tells which radio a run opened; null when it
    // has none.
    virtual const DriveListLink* Drives() const = 0;
    // False when the radio tells its own comings and goings (OnPresence), and the window
    // registers for no USB notices.
    virtual bool WantsUsbWatch() const = 0;
    // Lets a radio that lives in this process take its time (its return to the bus after a
    // restart); empty for a radio of its own.
    virtual std::function<void()> Advance() = 0;
    // Called on the window's thread for each arrival and removal the radio tells itself.
    virtual void OnPresence(std::function<void()> changed) = 0;
    // Each package the window accepts: an emulated radio becomes one of its model.
    virtual void Adopt(const Package& package) = 0;
};

class Radios {
public:
    virtual ~Radios() = default;
    // Recorded in the history with each run.
    virtual bool Emulated() const = 0;
    // Whether this build can reach them at all (a system without a radio binding cannot).
    virtual bool Reachable() const = 0;
    // The radios found now and whether this process may command them, before runs.
    virtual RadioPreflight Preflight() = 0;
    // One radio for a run of its own, after a preflight that passed.
    virtual std::unique_ptr<SingleRadio> Single(RadioPreflight preflight, const Package& package) = 0;
    // A crate: a link of its own for each radio. model: of the emulated radios until they
    // adopt another package's.
    virtual std::unique_ptr<RadioSource> Crate(const ProfileSelection& model) = 0;
    // Radios brought to a station one after another (station mode): the platform's as they
    // are plugged in, or the emulated ones, plugged in a few seconds apart, each pulled a
    // few seconds after its run ends.
    virtual std::unique_ptr<RadioSource> Station(const ProfileSelection& model) = 0;
    // The main window's radio.
    virtual std::unique_ptr<WindowRadio> ForWindow(WindowRadio::Post post) = 0;
};

std::unique_ptr<Radios> ChooseRadios(const RadioRequest& request);

// The lone emulated radio (flash --emulate, the main window's): slot 1 of an emulated crate,
// with its location and serial, so that the history knows it as the same radio either way.
RadioDrive EmulatedLoneDrive();

// The main window's radio over an emulated radio its caller owns and times (the window's
// tests): what --emulate gives the window, on the caller's clock.
std::unique_ptr<WindowRadio> EmulatedWindowRadioOver(EmulatedRadioLink& link);

}  // namespace quenfall
