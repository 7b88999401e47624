#include "emulator/emulated_station_source.h"

#include <algorithm>

namespace quenfall {

namespace {

std::optional<std::size_t> RadioAt(const std::string& location, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (EmulatedCrate::PortLocation(i) == location) return i;
    return std::nullopt;
}

}  // namespace

EmulatedStationSource::EmulatedStationSource(std::size_t radios, const ProfileSelection& model,
                                             std::vector<Misbehaviour> faults, EmulatedArrivals arrivals)
    : count_(radios), faults_(std::move(faults)), arrivals_(arrivals) {
    Bring(model);
}

EmulatedStationSource::~EmulatedStationSource() = default;

void EmulatedStationSource::Bring(const ProfileSelection& model) {
    model_ = model;
    std::vector<EmulatedRadioConfig> configs;
    for (std::size_t i = 0; i < count_; ++i) {
        EmulatedRadioConfig config =
            EmulatedCrateRadio(i, count_, model, i < faults_.size() ? faults_[i] : Misbehaviour{});
        // One at a time on its own port: no other radio to trade names with on the way back.
        config.RestartTime = EmulatedRestartTime;
        config.RestartOnEnter = arrivals_.RestartOnEnter;
        config.LeavesAfterExit = true;
        config.ResetTime = arrivals_.ResetTime;
        configs.push_back(std::move(config));
    }
    auto crate = std::make_unique<EmulatedCrate>(std::move(configs));
    // Nothing is plugged in before its time.
    for (std::size_t i = 0; i < count_; ++i) crate->Unplug(i);
    inner_ = std::make_unique<EmulatedRadioSource>(std::move(crate));
    start_ = std::chrono::steady_clock::now();
    arrived_ = 0;
    unplugAt_.assign(count_, std::nullopt);
}

std::vector<RadioDrive> EmulatedStationSource::Drives() {
    {
        const std::lock_guard lock(lock_);
        const auto now = std::chrono::steady_clock::now();
        while (arrived_ < count_ && now >= start_ + arrivals_.Spacing * static_cast<int>(arrived_)) {
            inner_->Crate().PlugIn(arrived_);
            ++arrived_;
        }
        for (std::size_t i = 0; i < count_; ++i) {
            if (!unplugAt_[i] || now < *unplugAt_[i]) continue;
            inner_->Crate().Unplug(i);
            unplugAt_[i].reset();
        }
    }
    return inner_->Drives();
}

CrateRadio EmulatedStationSource::Bind(const RadioDrive& drive) { return inner_->Bind(drive); }

void EmulatedStationSource::Adopt(const Package& package) {
    if (model_ == package.Selection) return;
    const std::lock_guard lock(lock_);
    Bring(package.Selection);
}

std::vector<RadioVerdict> EmulatedStationSource::Judge(std::vector<RadioOutcome>& outcomes, const Package& package) {
    return inner_->Judge(outcomes, package);
}

void EmulatedStationSource::RunEnded(const RadioDrive& drive) {
    const std::lock_guard lock(lock_);
    if (const auto radio = RadioAt(drive.Location, count_))
        unplugAt_[*radio] = std::chrono::steady_clock::now() + arrivals_.UnplugAfter;
}

std::optional<std::chrono::steady_clock::time_point> EmulatedStationSource::NextChange() const {
    const std::lock_guard lock(lock_);
    std::optional<std::chrono::steady_clock::time_point> next;
    if (arrived_ < count_) next = start_ + arrivals_.Spacing * static_cast<int>(arrived_);
    for (const auto& at : unplugAt_)
        if (at && (!next || *at < *next)) next = at;
    return next;
}

EmulatedCrate& EmulatedStationSource::Crate() { return inner_->Crate(); }

}  // namespace quenfall
