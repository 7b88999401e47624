#pragma once
// Where a crate's radios come from: the platform's drives or an emulated crate. A scan lists
// the radios on the bus now; each run gets a link of its own bound to its radio's location.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runs/radio_run.h"
#include "link/drive_list_link.h"
#include "package/package.h"
#include "emulator/emulated_crate.h"

namespace quenfall {

// What a source found of one of its radios after the runs.
struct RadioVerdict {
    std::string Location;
    std::vector<std::string> Problems;  // each fails the radio's run; a radio with no run had none
    bool Ran = false;                   // the radio had a run among the outcomes judged
    std::uint32_t Blocks = 0;           // blocks it received
    std::size_t Sections = 0;
    std::string FirstNode;              // the device names it had, first and last
    std::string LastNode;
};

class RadioSource {
public:
    virtual ~RadioSource() = default;
    // The radios on the bus now, in device-name order.
    virtual std::vector<RadioDrive> Drives() = 0;
    // A link of its own, bound to drive's location, and its radio's USB notices.
    virtual CrateRadio Bind(const RadioDrive& drive) = 0;
    virtual bool Emulated() const = 0;
    // Before runs of package start (no run going on).
    virtual void Adopt(const Package& package) { (void)package; }
    // Once every run of outcomes has ended: a verdict of the source's own on each radio (an
    // emulated radio checks every frame it got), which fails a run it found wrong.
    virtual std::vector<RadioVerdict> Judge(std::vector<RadioOutcome>& outcomes, const Package& package) {
        (void)outcomes;
        (void)package;
        return {};
    }
};

// The platform's radios: a link and a USB notice counter made by the caller's functions.
class PlatformRadioSource final : public RadioSource {
public:
    using Connect = std::function<std::unique_ptr<DriveListLink>()>;
    using UsbEvents = std::function<std::function<int()>(const std::string& location)>;
    PlatformRadioSource(Connect connect, UsbEvents usbEvents);

    std::vector<RadioDrive> Drives() override;
    CrateRadio Bind(const RadioDrive& drive) override;
    bool Emulated() const override { return false; }

private:
    Connect connect_;
    UsbEvents usbEvents_;
    std::unique_ptr<DriveListLink> scanner_;
};

// A crate of emulated radios that restart into boot mode and come back in the reverse order
// of their ports, a tenth of a second apart, so that the last radio takes the first one's
// old device name: only the location tells them apart.
inline constexpr std::chrono::milliseconds EmulatedRestartTime{1500};
inline constexpr std::chrono::milliseconds EmulatedRestartSpread{100};

class EmulatedRadioSource final : public RadioSource {
public:
    // radios: how many; model: the package whose model they are until Adopt; faults: of
    // every radio.
    EmulatedRadioSource(std::size_t radios, const ProfileSelection& model, const Misbehaviour& faults = {});
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
