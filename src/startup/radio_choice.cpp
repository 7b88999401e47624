#include "startup/radio_choice.h"

#include <chrono>
#include <utility>

#include "emulator/emulated_crate.h"
#include "emulator/emulated_radio.h"
#include "emulator/emulated_radio_link.h"
#include "emulator/emulated_radio_source.h"
#include "emulator/emulated_station_source.h"
#include "platform/platform.h"
#include "protocol/radio_identity.h"
#include "text/translation.h"

namespace quenfall {

namespace {

// ---- the platform's radios -------------------------------------------------------------------

class PlatformSingleRadio final : public SingleRadio {
public:
    explicit PlatformSingleRadio(RadioPreflight preflight)
        : link_(std::move(preflight.Link)), drive_(preflight.Drives.front()) {}

    DeviceLink& Link() override { return *link_; }
    const RadioDrive& Drive() const override { return drive_; }
    std::function<int()> UsbEvents() override { return MakeUsbEventCounter(); }
    // The link's last scan found the radio again after its restart, maybe under another name.
    std::string LastNode() const override {
        const std::vector<RadioDrive> listed = link_->ListedDrives();
        return listed.empty() ? std::string() : listed.front().Node;
    }
    RadioCheck Check(bool, const Package&) const override { return {}; }

private:
    std::unique_ptr<PlatformDeviceLink> link_;
    RadioDrive drive_;
};

class PlatformWindowRadio final : public WindowRadio {
public:
    explicit PlatformWindowRadio(std::unique_ptr<PlatformDeviceLink> link) : link_(std::move(link)) {}

    DeviceLink& Link() override { return *link_; }
    const DriveListLink* Drives() const override { return link_.get(); }
    bool WantsUsbWatch() const override { return true; }
    std::function<void()> Advance() override { return {}; }
    // The platform's USB notices reach the window through the face's watch.
    void OnPresence(std::function<void()>) override {}
    void Adopt(const Package&) override {}

private:
    std::unique_ptr<PlatformDeviceLink> link_;
};

class PlatformRadios final : public Radios {
public:
    bool Emulated() const override { return false; }
    bool Reachable() const override { return MakePlatformDeviceLink() != nullptr; }
    RadioPreflight Preflight() override { return CheckRealRadios(); }
    std::unique_ptr<SingleRadio> Single(RadioPreflight preflight, const Package&) override {
        return std::make_unique<PlatformSingleRadio>(std::move(preflight));
    }
    std::unique_ptr<RadioSource> Crate(const ProfileSelection&) override {
        return std::make_unique<PlatformRadioSource>(
            [] { return std::unique_ptr<DriveListLink>(MakePlatformDeviceLink()); },
            [](const std::string& location) { return MakeUsbEventCounter(location); });
    }
    std::unique_ptr<RadioSource> Station(const ProfileSelection& model) override { return Crate(model); }
    std::unique_ptr<WindowRadio> ForWindow(WindowRadio::Post) override {
        std::unique_ptr<PlatformDeviceLink> link = MakePlatformDeviceLink();
        if (!link) return nullptr;
        return std::make_unique<PlatformWindowRadio>(std::move(link));
    }
};

// ---- emulated radios -------------------------------------------------------------------------

// The single radio of quenfall-cli flash --emulate: it first answers status 3, restarts into
// boot mode and is back on the bus after this long, then acknowledges every block.
constexpr std::chrono::milliseconds SingleRestartTime{2000};

Misbehaviour FaultNamed(std::string_view name) {
    Misbehaviour faults;
    if (name == "no-answer") {
        faults.Silent = RequestMatch::Every(RequestKind::Block);
    } else if (name == "lost") {
        // The second block: the radio has taken part of its upload when it goes.
        faults.DisappearAtBlock = 1;
    } else if (name == "bad-answer") {
        faults.Faulty = RequestMatch::Every(RequestKind::Block);
        faults.Fault = AnswerFault::BadCheckSum;
    } else if (name == "refused") {
        faults.FailedCommands = RequestMatch{0, std::nullopt, true};
    }
    return faults;
}

// The misbehaviour of radio index (from 0) of the crate.
Misbehaviour FaultsOfRadio(const std::vector<EmulationFault>& faults, std::size_t index) {
    Misbehaviour chosen;
    for (const EmulationFault& f : faults)
        if (f.Radio == 0 || f.Radio == index + 1) chosen = FaultNamed(f.Name);
    return chosen;
}

std::vector<Misbehaviour> FaultsOfCrate(const std::vector<EmulationFault>& faults, std::size_t count) {
    std::vector<Misbehaviour> crate;
    for (std::size_t i = 0; i < count; ++i) crate.push_back(FaultsOfRadio(faults, i));
    return crate;
}

class EmulatedSingleRadio final : public SingleRadio {
public:
    EmulatedSingleRadio(const Package& package, const Misbehaviour& faults) : radio_(Config(package, faults)) {
        drive_ = EmulatedLoneDrive();
        radio_.SetPresenceCallback([this](bool) { ++usbEvents_; });
    }

    DeviceLink& Link() override { return radio_; }
    const RadioDrive& Drive() const override { return drive_; }
    std::function<int()> UsbEvents() override {
        return [this] {
            radio_.Advance();
            return std::exchange(usbEvents_, 0);
        };
    }
    std::string LastNode() const override { return {}; }
    // The emulated radio checked every frame: what it found wrong fails the run even when
    // the dialogue itself went through.
    RadioCheck Check(bool completed, const Package& package) const override {
        const EmulatedRunVerdict verdict = JudgeEmulatedRun(radio_, completed, SectionsOf(package));
        RadioCheck check;
        for (const std::string& p : verdict.Problems) check.Problems.push_back("emulated radio: " + p);
        if (check.Problems.empty()) {
            check.Received = text::Fill(
                // Translators: {blocks} is "1 block" or "5 blocks"; the form follows the sections.
                text::TrPlural("Emulated radio: {blocks} in {count} section received; it matches the package.",
                               "Emulated radio: {blocks} in {count} sections received; every section matches the package.",
                               verdict.Sections),
                {{"blocks", text::Fill(text::TrPlural("{count} block", "{count} blocks", verdict.Blocks),
                                       {{"count", std::to_string(verdict.Blocks)}})},
                 {"count", std::to_string(verdict.Sections)}});
        }
        return check;
    }

private:
    static EmulatedRadioConfig Config(const Package& package, const Misbehaviour& faults) {
        EmulatedRadioConfig config;
        config.Selection = package.Selection;
        config.RestartTime = SingleRestartTime;
        config.KeepFrameLog = false;
        config.Faults = faults;
        return config;
    }

    EmulatedRadio radio_;
    RadioDrive drive_;
    int usbEvents_ = 0;
};

class EmulatedWindowRadio final : public WindowRadio {
public:
    explicit EmulatedWindowRadio(Post post)
        : owned_(std::make_unique<EmulatedRadioLink>(std::move(post))), link_(*owned_) {}
    explicit EmulatedWindowRadio(EmulatedRadioLink& link) : link_(link) {}

    DeviceLink& Link() override { return link_; }
    const DriveListLink* Drives() const override { return nullptr; }
    bool WantsUsbWatch() const override { return false; }
    std::function<void()> Advance() override {
        return [this] { link_.Advance(); };
    }
    void OnPresence(std::function<void()> changed) override { link_.SetPresenceCallback(std::move(changed)); }
    void Adopt(const Package& package) override { link_.Adopt(package); }

private:
    std::unique_ptr<EmulatedRadioLink> owned_;  // none: the caller's
    EmulatedRadioLink& link_;
};

class EmulatedRadios final : public Radios {
public:
    explicit EmulatedRadios(const RadioRequest& request)
        : count_(request.Radios), faults_(FaultsOfCrate(request.Faults, request.Radios)) {}

    bool Emulated() const override { return true; }
    bool Reachable() const override { return true; }
    // Every radio of the crate is there and may be used.
    RadioPreflight Preflight() override {
        RadioPreflight preflight;
        preflight.Result = PreflightCheck::Passed;
        EmulatedCrate crate{std::vector<EmulatedRadioConfig>(count_), RemovableDiskName};
        preflight.Drives = crate.Drives();
        return preflight;
    }
    std::unique_ptr<SingleRadio> Single(RadioPreflight, const Package& package) override {
        return std::make_unique<EmulatedSingleRadio>(package, faults_.empty() ? Misbehaviour{} : faults_.front());
    }
    std::unique_ptr<RadioSource> Crate(const ProfileSelection& model) override {
        return std::make_unique<EmulatedRadioSource>(count_, model, faults_, RemovableDiskName);
    }
    std::unique_ptr<RadioSource> Station(const ProfileSelection& model) override {
        return std::make_unique<EmulatedStationSource>(count_, model, faults_);
    }
    std::unique_ptr<WindowRadio> ForWindow(WindowRadio::Post post) override {
        return std::make_unique<EmulatedWindowRadio>(std::move(post));
    }

private:
    std::size_t count_;
    std::vector<Misbehaviour> faults_;
};

}  // namespace

std::string EmulationFaultNames() {
    std::string names;
    for (std::size_t i = 0; i < EmulationFaults.size(); ++i) {
        if (i != 0) names += i + 1 == EmulationFaults.size() ? " or " : ", ";
        names += EmulationFaults[i];
    }
    return names;
}

std::optional<EmulationFault> ReadEmulationFault(std::string_view word) {
    const std::size_t at = word.find('@');
    const std::string_view name = word.substr(0, at);
    EmulationFault fault;
    for (std::string_view known : EmulationFaults)
        if (known == name) fault.Name = known;
    if (fault.Name.empty()) return std::nullopt;
    if (at == std::string_view::npos) return fault;
    const std::string_view radio = word.substr(at + 1);
    if (radio.empty() || radio.size() > 3 || radio.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    fault.Radio = static_cast<std::size_t>(std::stoul(std::string(radio)));
    if (fault.Radio == 0) return std::nullopt;
    return fault;
}

RadioDrive EmulatedLoneDrive() {
    RadioDrive drive;
    drive.Node = "emulated";
    drive.Location = EmulatedCrate::PortLocation(0);
    drive.Vendor = std::string(RadioVendor);
    drive.Model = std::string(RadioModel);
    drive.Serial = EmulatedCrate::PortSerial(0);
    return drive;
}

std::unique_ptr<Radios> ChooseRadios(const RadioRequest& request) {
    if (request.Emulate) return std::make_unique<EmulatedRadios>(request);
    return std::make_unique<PlatformRadios>();
}

std::unique_ptr<WindowRadio> EmulatedWindowRadioOver(EmulatedRadioLink& link) {
    return std::make_unique<EmulatedWindowRadio>(link);
}

}  // namespace quenfall
