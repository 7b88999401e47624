#pragma once
// Where a crate's radios come from: the platform's drives, or an emulated crate
// (emulator/emulated_radio_source.h). A scan lists the radios on the bus now; each run gets a
// link of its own bound to its radio's location.
#include <chrono>
#include <cstddef>
#include <optional>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runs/radio_run.h"
#include "platform/drive_list_link.h"
#include "package/package.h"

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
    // A run of drive has just ended (station mode): an emulated technician unplugs the radio
    // a while later.
    virtual void RunEnded(const RadioDrive& drive) { (void)drive; }
    // When the source's own radios next come or go by themselves (emulated radios brought to
    // a station); none when it has no such plans.
    virtual std::optional<std::chrono::steady_clock::time_point> NextChange() const { return std::nullopt; }
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

}  // namespace quenfall
