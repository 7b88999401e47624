#pragma once
// An emulated crate as a crate's radio source: the radios of --emulate N for flash --all,
// --device and the shop window, and of the tests of runs per radio.
#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

#include "emulator/emulated_crate.h"
#include "runs/radio_source.h"

namespace quenfall {

// A crate of emulated radios that restart into boot mode and come back in the reverse order
// of their ports, a tenth of a second apart, so that the last radio takes the first one's
// old device name: only the location tells them apart.
inline constexpr std::chrono::milliseconds EmulatedRestartTime{1500};
inline constexpr std::chrono::milliseconds EmulatedRestartSpread{100};

class EmulatedRadioSource final : public RadioSource {
public:
    // radios: how many; model: the package whose model they are until Adopt; faults: of
    // radio i at i, the radios beyond them behave; naming: the system's names of removable
    // disks.
    EmulatedRadioSource(std::size_t radios, const ProfileSelection& model, std::vector<Misbehaviour> faults = {},
                        EmulatedCrate::DiskNaming naming = KernelDiskName);
    // A crate made by the caller (tests shape each radio).
    explicit EmulatedRadioSource(std::unique_ptr<EmulatedCrate> crate);
    ~EmulatedRadioSource() override;

    std::vector<RadioDrive> Drives() override;
    CrateRadio Bind(const RadioDrive& drive) override;
    bool Emulated() const override { return true; }
    void Adopt(const Package& package) override;
    std::vector<RadioVerdict> Judge(std::vector<RadioOutcome>& outcomes, const Package& package) override;

    EmulatedCrate& Crate() { return *crate_; }

private:
    struct Shape;
    std::unique_ptr<EmulatedCrate> crate_;
    std::unique_ptr<Shape> shape_;  // none: the caller's crate
};

// The configuration of radio index of a crate of count, as EmulatedRadioSource makes it.
EmulatedRadioConfig EmulatedCrateRadio(std::size_t index, std::size_t count, const ProfileSelection& model,
                                       const Misbehaviour& faults);

}  // namespace quenfall
