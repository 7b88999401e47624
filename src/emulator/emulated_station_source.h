#pragma once
// Emulated radios brought to a station one after another, as a technician does: the radios of
// `quenfall-cli station --emulate N` and of the shop window's station mode with --emulate N.
//
// Radio i hangs from a port of its own ("1-1.<i+1>") and is plugged in Spacing after radio
// i - 1, the first one at once. During its run it restarts into boot mode as the crate's
// radios do; after its exit answer it resets, leaves the bus and comes back ResetTime later
// in programming mode, as a radio kept in programming mode would; UnplugAfter its run's end
// the technician pulls it for good. Its cable carries no power once pulled: it never comes
// back by itself.
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "emulator/emulated_radio_source.h"

namespace quenfall {

struct EmulatedArrivals {
    std::chrono::milliseconds Spacing{3000};
    std::chrono::milliseconds ResetTime{2500};    // shorter than the station's restart wait
    std::chrono::milliseconds UnplugAfter{4000};  // after the run's end; longer than ResetTime
    // Off: the radios answer the first enter request from boot mode, with no restart (and
    // no wait for one), for tests about what happens around the runs.
    bool RestartOnEnter = true;
};

class EmulatedStationSource final : public RadioSource {
public:
    // faults: of radio i at i (arrival order), the radios beyond them behave.
    EmulatedStationSource(std::size_t radios, const ProfileSelection& model, std::vector<Misbehaviour> faults = {},
                          EmulatedArrivals arrivals = {});
    ~EmulatedStationSource() override;

    // Plugs in and pulls what is due by now, then lists the radios on the bus.
    std::vector<RadioDrive> Drives() override;
    CrateRadio Bind(const RadioDrive& drive) override;
    bool Emulated() const override { return true; }
    // A package of another model: the radios are brought again, from the first, of its model.
    void Adopt(const Package& package) override;
    std::vector<RadioVerdict> Judge(std::vector<RadioOutcome>& outcomes, const Package& package) override;
    void RunEnded(const RadioDrive& drive) override;

    // When the next radio is plugged in or pulled; none once every radio has come and gone
    // (or waits for its run to end).
    std::optional<std::chrono::steady_clock::time_point> NextChange() const override;
    EmulatedCrate& Crate();

private:
    void Bring(const ProfileSelection& model);

    std::size_t count_;
    std::vector<Misbehaviour> faults_;
    EmulatedArrivals arrivals_;
    ProfileSelection model_;
    std::unique_ptr<EmulatedRadioSource> inner_;
    mutable std::mutex lock_;  // the schedule: RunEnded may come from a run's thread
    std::chrono::steady_clock::time_point start_;
    std::size_t arrived_ = 0;
    std::vector<std::optional<std::chrono::steady_clock::time_point>> unplugAt_;  // per radio
};

}  // namespace quenfall
