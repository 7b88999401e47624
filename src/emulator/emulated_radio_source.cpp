#include "emulator/emulated_radio_source.h"

namespace quenfall {

EmulatedRadioConfig EmulatedCrateRadio(std::size_t index, std::size_t count, const ProfileSelection& model,
                                       const Misbehaviour& faults) {
    EmulatedRadioConfig config;
    config.Selection = model;
    config.RestartTime = EmulatedRestartTime + EmulatedRestartSpread * static_cast<int>(count - 1 - index);
    config.KeepFrameLog = false;
    config.Faults = faults;
    return config;
}

namespace {

std::unique_ptr<EmulatedCrate> MakeCrate(std::size_t count, const ProfileSelection& model,
                                         const std::vector<Misbehaviour>& faults, const EmulatedCrate::DiskNaming& naming) {
    std::vector<EmulatedRadioConfig> configs;
    for (std::size_t i = 0; i < count; ++i)
        configs.push_back(EmulatedCrateRadio(i, count, model, i < faults.size() ? faults[i] : Misbehaviour{}));
    return std::make_unique<EmulatedCrate>(std::move(configs), naming);
}

}  // namespace

struct EmulatedRadioSource::Shape {
    std::size_t Count = 0;
    ProfileSelection Model;
    std::vector<Misbehaviour> Faults;
    EmulatedCrate::DiskNaming Naming;
};

EmulatedRadioSource::EmulatedRadioSource(std::size_t radios, const ProfileSelection& model,
                                         std::vector<Misbehaviour> faults, EmulatedCrate::DiskNaming naming)
    : crate_(MakeCrate(radios, model, faults, naming)),
      shape_(std::make_unique<Shape>(Shape{radios, model, std::move(faults), std::move(naming)})) {}

EmulatedRadioSource::EmulatedRadioSource(std::unique_ptr<EmulatedCrate> crate) : crate_(std::move(crate)) {}

EmulatedRadioSource::~EmulatedRadioSource() = default;

std::vector<RadioDrive> EmulatedRadioSource::Drives() { return crate_->Drives(); }

CrateRadio EmulatedRadioSource::Bind(const RadioDrive& drive) {
    CrateRadio radio;
    radio.Drive = drive;
    radio.Link = std::make_unique<LocatedDeviceLink>(crate_->Connect(), drive);
    radio.TakeUsbEvents = crate_->UsbEventCounter(drive.Location);
    return radio;
}

void EmulatedRadioSource::Adopt(const Package& package) {
    // A crate the caller shaped stays as it is; one made here takes the package's model, as
    // the main window's emulated radio does.
    if (!shape_ || shape_->Model == package.Selection) return;
    shape_->Model = package.Selection;
    crate_ = MakeCrate(shape_->Count, shape_->Model, shape_->Faults, shape_->Naming);
}

std::vector<RadioVerdict> EmulatedRadioSource::Judge(std::vector<RadioOutcome>& outcomes, const Package& package) {
    std::vector<RadioVerdict> verdicts;
    const auto expected = SectionsOf(package);
    for (std::size_t i = 0; i < crate_->Size(); ++i) {
        RadioVerdict& v = verdicts.emplace_back();
        v.Location = EmulatedCrate::PortLocation(i);
        const EmulatedRadio& radio = crate_->Radio(i);
        RadioOutcome* outcome = nullptr;
        for (RadioOutcome& o : outcomes)
            if (o.Drive.Location == v.Location) outcome = &o;
        const EmulatedRunVerdict verdict = JudgeEmulatedRun(radio, outcome && outcome->Completed, expected);
        v.Problems = verdict.Problems;
        v.Ran = outcome != nullptr;
        v.Blocks = verdict.Blocks;
        v.Sections = verdict.Sections;
        const std::vector<std::string> nodes = crate_->NodesOf(i);
        if (!nodes.empty()) {
            v.FirstNode = nodes.front();
            v.LastNode = nodes.back();
        }
        if (!outcome && radio.Writes() != 0) {
            v.Problems.push_back(std::to_string(radio.Writes()) + (radio.Writes() == 1 ? " frame" : " frames") +
                                 " reached this radio, which was not chosen");
        }
        if (!v.Problems.empty() && outcome) {
            outcome->Completed = false;
            outcome->Outcome = "emulated radio: " + v.Problems.front();
        }
    }
    return verdicts;
}

}  // namespace quenfall
