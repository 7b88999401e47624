#include "emulator/emulated_crate.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>

namespace quenfall {

struct EmulatedCrate::State {
    std::mutex Lock;  // held for every call into a radio
    DiskNaming DiskName;
    std::vector<std::unique_ptr<EmulatedRadio>> Radios;
    std::vector<std::optional<std::size_t>> NameIndex;  // per radio; none while away
    std::vector<std::vector<std::string>> Names;         // per radio, every name it had
    struct EventCounter {
        std::string Location;  // empty: every radio
        int Events = 0;
    };
    std::vector<std::shared_ptr<EventCounter>> EventCounters;

    // Called by a radio from inside a call, so with Lock held.
    void PresenceChanged(std::size_t radio, bool present) {
        if (!present) {
            NameIndex[radio].reset();
        } else if (!NameIndex[radio]) {
            std::size_t index = 0;
            while (std::any_of(NameIndex.begin(), NameIndex.end(),
                               [&](const auto& taken) { return taken == index; })) {
                ++index;
            }
            NameIndex[radio] = index;
            Names[radio].push_back(DiskName(index));
        }
        for (const auto& counter : EventCounters)
            if (counter->Location.empty() || counter->Location == PortLocation(radio)) ++counter->Events;
    }

    void AdvanceLocked() {
        for (auto& radio : Radios) radio->Advance();
    }

    // radio index per listed drive, in name order
    std::vector<std::size_t> PresentLocked() {
        AdvanceLocked();
        std::vector<std::size_t> present;
        for (std::size_t i = 0; i < Radios.size(); ++i)
            if (NameIndex[i]) present.push_back(i);
        std::sort(present.begin(), present.end(),
                  [&](std::size_t a, std::size_t b) { return *NameIndex[a] < *NameIndex[b]; });
        return present;
    }

    RadioDrive DriveOf(std::size_t radio) const {
        return {DiskName(*NameIndex[radio]), PortLocation(radio), "STM     ", "microSD Flash   ", PortSerial(radio)};
    }
};

namespace {

// A radio's channel, used under the crate's lock.
class CrateChannel final : public DeviceChannel {
public:
    CrateChannel(std::shared_ptr<EmulatedCrate::State> state, std::unique_ptr<DeviceChannel> inner)
        : state_(std::move(state)), inner_(std::move(inner)) {}
    ~CrateChannel() override {
        const std::lock_guard lock(state_->Lock);
        inner_.reset();
    }
    CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override {
        const std::lock_guard lock(state_->Lock);
        return inner_->ScsiWrite(data);
    }
    CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
        const std::lock_guard lock(state_->Lock);
        return inner_->ScsiRead(buffer);
    }

private:
    std::shared_ptr<EmulatedCrate::State> state_;
    std::unique_ptr<DeviceChannel> inner_;
};

class CrateLink final : public DriveListLink {
public:
    explicit CrateLink(std::shared_ptr<EmulatedCrate::State> state) : state_(std::move(state)) {}

    std::uint16_t ScanDrives() override {
        const std::lock_guard lock(state_->Lock);
        listed_.clear();
        for (std::size_t radio : state_->PresentLocked()) listed_.push_back({radio, state_->DriveOf(radio)});
        return static_cast<std::uint16_t>(listed_.size());
    }

    OpenResult OpenDevice() override { return OpenListedDrive(0); }

    OpenResult OpenListedDrive(std::size_t index) override {
        OpenResult result;
        if (index >= listed_.size()) return result;  // NoRadio
        const std::lock_guard lock(state_->Lock);
        const auto& [radio, drive] = listed_[index];
        state_->Radios[radio]->Advance();
        // Gone since the scan, or back under another name: the scan's node is not this radio.
        if (!state_->NameIndex[radio] || state_->DriveOf(radio).Node != drive.Node) {
            result.Failure = OpenFailure::CannotOpen;
            result.Detail = drive.Node + ": no such device";
            return result;
        }
        state_->Radios[radio]->ScanDrives();
        result = state_->Radios[radio]->OpenDevice();
        if (result.Channel) result.Channel = std::make_unique<CrateChannel>(state_, std::move(result.Channel));
        return result;
    }

    std::vector<RadioDrive> ListedDrives() const override {
        std::vector<RadioDrive> drives;
        for (const auto& entry : listed_) drives.push_back(entry.second);
        return drives;
    }

private:
    std::shared_ptr<EmulatedCrate::State> state_;
    std::vector<std::pair<std::size_t, RadioDrive>> listed_;
};

}  // namespace

EmulatedCrate::EmulatedCrate(std::vector<EmulatedRadioConfig> radios, DiskNaming naming)
    : state_(std::make_shared<State>()) {
    const std::size_t n = radios.size();
    state_->DiskName = std::move(naming);
    state_->NameIndex.resize(n);
    state_->Names.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        state_->Radios.push_back(std::make_unique<EmulatedRadio>(std::move(radios[i])));
        state_->NameIndex[i] = i;
        state_->Names[i].push_back(state_->DiskName(i));
        // The radio outlives no call of its own; the state outlives the radios.
        State* state = state_.get();
        state_->Radios[i]->SetPresenceCallback([state, i](bool present) { state->PresenceChanged(i, present); });
    }
}

EmulatedCrate::~EmulatedCrate() = default;

std::size_t EmulatedCrate::Size() const { return state_->Radios.size(); }

std::string EmulatedCrate::PortLocation(std::size_t index) { return "1-1." + std::to_string(index + 1); }

std::string EmulatedCrate::PortSerial(std::size_t index) {
    std::string slot = std::to_string(index + 1);
    if (slot.size() < 4) slot.insert(0, 4 - slot.size(), '0');
    return "EMULATED-" + slot;
}

std::unique_ptr<DriveListLink> EmulatedCrate::Connect() { return std::make_unique<CrateLink>(state_); }

std::function<int()> EmulatedCrate::UsbEventCounter(const std::string& location) {
    auto counter = std::make_shared<State::EventCounter>();
    counter->Location = location;
    {
        const std::lock_guard lock(state_->Lock);
        state_->EventCounters.push_back(counter);
    }
    return [state = state_, counter] {
        const std::lock_guard lock(state->Lock);
        state->AdvanceLocked();
        return std::exchange(counter->Events, 0);
    };
}

void EmulatedCrate::Advance() {
    const std::lock_guard lock(state_->Lock);
    state_->AdvanceLocked();
}

void EmulatedCrate::Unplug(std::size_t index) {
    const std::lock_guard lock(state_->Lock);
    state_->Radios.at(index)->Unplug();
}

void EmulatedCrate::PlugIn(std::size_t index) {
    const std::lock_guard lock(state_->Lock);
    state_->Radios.at(index)->PlugIn();
}

std::vector<RadioDrive> EmulatedCrate::Drives() {
    const std::lock_guard lock(state_->Lock);
    std::vector<RadioDrive> drives;
    for (std::size_t radio : state_->PresentLocked()) drives.push_back(state_->DriveOf(radio));
    return drives;
}

std::vector<std::string> EmulatedCrate::NodesOf(std::size_t index) {
    const std::lock_guard lock(state_->Lock);
    return state_->Names.at(index);
}

EmulatedRadio& EmulatedCrate::Radio(std::size_t index) { return *state_->Radios.at(index); }

}  // namespace quenfall
