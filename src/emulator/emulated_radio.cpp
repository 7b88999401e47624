#include "emulator/emulated_radio.h"

#include "emulator/emulated_radio_state.h"

namespace quenfall {

EmulatedRadio::EmulatedRadio(EmulatedRadioConfig config) : state_(std::make_shared<State>()) {
    state_->Config = std::move(config);
    state_->BootMode = state_->Config.StartsInBootMode;
}

EmulatedRadio::~EmulatedRadio() = default;

std::uint16_t EmulatedRadio::ScanDrives() {
    state_->Update();
    state_->PresentAtLastScan = state_->Present;
    return state_->Present ? 1 : 0;
}

OpenResult EmulatedRadio::OpenDevice() {
    state_->Update();
    OpenResult r;
    if (!state_->PresentAtLastScan) {
        r.Failure = OpenFailure::NoRadio;
        return r;
    }
    if (!state_->Present) {
        r.Failure = OpenFailure::CannotOpen;
        r.Detail = "the radio left the bus";
        return r;
    }
    r.Channel = MakeEmulatedChannel(state_, state_->Generation);
    r.Failure = OpenFailure::None;
    return r;
}

Misbehaviour& EmulatedRadio::Faults() { return state_->Config.Faults; }
void EmulatedRadio::SetAnswerAfterReads(std::uint32_t reads) { Faults().AnswerAfterReads = reads; }
void EmulatedRadio::SetSilent(RequestMatch match) { Faults().Silent = match; }
void EmulatedRadio::SetFaultyAnswer(RequestMatch match, AnswerFault fault, std::uint32_t reads) {
    Faults().Faulty = match;
    Faults().Fault = fault;
    Faults().FaultReads = reads;
}
void EmulatedRadio::SetInterimAnswers(RequestMatch match, std::uint8_t status, std::uint32_t reads) {
    Faults().Interim = match;
    Faults().InterimStatus = status;
    Faults().InterimReads = reads;
}
void EmulatedRadio::SetDisappearAtBlock(std::uint32_t ordinal,
                                        std::optional<std::chrono::milliseconds> reappearAfter) {
    Faults().DisappearAtBlock = ordinal;
    Faults().ReappearAfter = reappearAfter;
}
void EmulatedRadio::SetReturnsAfterRestart(bool returns) { state_->Config.ReturnsAfterRestart = returns; }
void EmulatedRadio::SetFailedCommands(RequestMatch match, std::uint32_t reads, CommandOutcome failure) {
    Faults().FailedCommands = match;
    Faults().FailedReads = reads;
    Faults().CommandFailure = failure;
}

void EmulatedRadio::Unplug() { state_->Leave(std::nullopt, false); }
void EmulatedRadio::PlugIn() { state_->Arrive(false); }
void EmulatedRadio::Advance() { state_->Update(); }
std::optional<std::chrono::milliseconds> EmulatedRadio::ReturnTime() const {
    return state_->Present ? std::nullopt : state_->ReturnAt;
}
void EmulatedRadio::SetPresenceCallback(std::function<void(bool)> callback) {
    state_->PresenceCallback = std::move(callback);
}

bool EmulatedRadio::Present() const { return state_->Present; }
bool EmulatedRadio::InBootMode() const { return state_->BootMode; }
std::uint32_t EmulatedRadio::Reads() const { return state_->Reads; }
std::uint32_t EmulatedRadio::Writes() const { return state_->Writes; }
std::uint32_t EmulatedRadio::OpenChannels() const { return state_->OpenChannels; }
std::uint32_t EmulatedRadio::Restarts() const { return state_->Restarts; }
std::uint32_t EmulatedRadio::Resets() const { return state_->Resets; }
std::uint32_t EmulatedRadio::ExitsAnswered() const { return state_->ExitsAnswered; }
const std::vector<std::uint8_t>& EmulatedRadio::AnnouncedIds() const { return state_->Announced; }
const std::map<std::uint8_t, ReceivedSection>& EmulatedRadio::Sections() const { return state_->Sections; }
const std::vector<std::vector<std::uint8_t>>& EmulatedRadio::FrameLog() const { return state_->FrameLog; }
const std::vector<std::string>& EmulatedRadio::Violations() const { return state_->Violations; }

}  // namespace quenfall
