// The emulated radio's answers as the reads fetch them, with the faults asked for, and the
// channel the tool holds.
#include <cerrno>

#include "emulator/emulated_radio_state.h"

namespace quenfall {

using namespace emulated;

void EmulatedRadio::State::Deliver(std::span<std::uint8_t> buffer) {
    Pending& p = Answering;
    if (!p.Has) return;
    std::uint32_t r = p.ReadsSince++;
    if (r < p.DelayReads) return;
    r -= p.DelayReads;
    const Answer* answer = &p.Real;
    if (r < p.InterimReads) {
        answer = &p.InterimAnswer;
    } else if (p.FaultOn && (p.FaultReads == 0 || r - p.InterimReads < p.FaultReads)) {
        answer = &p.FaultyAnswer;
    }
    std::copy_n(answer->begin(), std::min(buffer.size(), answer->size()), buffer.begin());
    if (answer == &p.Real && !p.Delivered) {
        p.Delivered = true;
        Delivered(p.Then);
    }
}

// What the radio does once its answer has been read: the sequencer has it, so the radio
// may go.
void EmulatedRadio::State::Delivered(After then) {
    switch (then) {
        case After::Nothing: break;
        case After::Restart: {
            ++Restarts;
            std::optional<std::chrono::milliseconds> away;
            if (Config.ReturnsAfterRestart) away = Config.RestartTime;
            Leave(away, true);
            break;
        }
        case After::Reset:
            ++ExitsAnswered;
            ++Resets;
            BootMode = false;
            ResumingAfterRestart = false;
            Announced.clear();
            if (Config.LeavesAfterExit) Leave(Config.ResetTime, false);
            break;
    }
}

namespace {
class EmulatedChannel : public DeviceChannel {
public:
    EmulatedChannel(std::shared_ptr<EmulatedRadio::State> state, std::uint64_t generation)
        : state_(std::move(state)), generation_(generation) {
        ++state_->OpenChannels;
    }
    ~EmulatedChannel() override { --state_->OpenChannels; }

    CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override {
        state_->Update();
        if (!Alive()) return Gone();
        state_->Receive(data);
        return state_->WriteOutcome();
    }
    CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), 0);
        state_->Update();
        if (!Alive()) return Gone();
        if (state_->ReadFails()) return state_->Config.Faults.CommandFailure;
        ++state_->Reads;
        state_->Deliver(buffer);
        return {};
    }

private:
    bool Alive() const { return state_->Present && state_->Generation == generation_; }
    // What a system says of a command to a drive that has left the bus.
    static CommandOutcome Gone() { return OutcomeOfSystemError(ENODEV, ErrorCodes::Posix); }
    std::shared_ptr<EmulatedRadio::State> state_;
    std::uint64_t generation_;
};
}  // namespace

std::unique_ptr<DeviceChannel> MakeEmulatedChannel(std::shared_ptr<EmulatedRadio::State> state, std::uint64_t generation) {
    return std::make_unique<EmulatedChannel>(std::move(state), generation);
}

}  // namespace quenfall
