#include "emulator/trace_replay.h"

#include <algorithm>

namespace quenfall {

struct TraceReplayLink::State {
    std::vector<TraceStep> Steps;
    std::size_t Next = 0;                 // the step to be played next
    std::optional<std::size_t> Answering;  // the "< " step the reads return now
    std::size_t FramesWritten = 0;
    std::string Divergence;
    bool Present = true;

    bool NextIs(TraceEvent event, bool written) const {
        return Next < Steps.size() && Steps[Next].Event == event && Steps[Next].Written == written;
    }

    // The recorded outcome of the command just made, when the trace holds one for it.
    CommandOutcome TakeOutcome(bool written) {
        if (!Divergence.empty() || !NextIs(TraceEvent::CommandFailed, written)) return {};
        return Steps[Next++].Outcome;
    }

    // A scan plays the coming or going recorded next, if the next step is one: each was
    // recorded by the scan that found it. (A trace taken with the device watch holds its
    // scans' findings too; a replay without the watch then finds them one reopen at a time.)
    bool Scan() {
        if (Divergence.empty() && Next < Steps.size() &&
            (Steps[Next].Event == TraceEvent::RadioLeft || Steps[Next].Event == TraceEvent::RadioBack)) {
            Present = Steps[Next++].Event == TraceEvent::RadioBack;
        }
        return Present;
    }

    CommandOutcome Write(std::span<const std::uint8_t> frame) {
        Check(frame);
        return TakeOutcome(true);
    }

    void Check(std::span<const std::uint8_t> frame) {
        ++FramesWritten;
        Answering.reset();
        if (!Divergence.empty()) return;
        if (Next >= Steps.size()) {
            Divergence = "frame " + std::to_string(FramesWritten) + " was written after the trace's end: " +
                         FormatTraceLine(true, frame);
            return;
        }
        const TraceStep& expected = Steps[Next];
        if (expected.Event != TraceEvent::Frame) {
            Divergence = "frame " + std::to_string(FramesWritten) + " was written where the trace has " +
                         (expected.Event == TraceEvent::Answer ? "an answer: " : "no frame: ") +
                         FormatTraceLine(true, frame);
            return;
        }
        if (!std::equal(frame.begin(), frame.end(), expected.Bytes.begin(), expected.Bytes.end())) {
            const auto at = std::mismatch(frame.begin(), frame.end(), expected.Bytes.begin(), expected.Bytes.end());
            Divergence = "frame " + std::to_string(FramesWritten) + " differs from the trace (line " +
                         std::to_string(Next + 1) + ") from byte " + std::to_string(at.first - frame.begin()) +
                         " on; " + std::to_string(frame.size()) + " bytes written, " +
                         std::to_string(expected.Bytes.size()) + " recorded";
            return;
        }
        ++Next;
    }

    CommandOutcome Read(std::span<std::uint8_t> buffer) {
        if (!Divergence.empty()) return {};
        // A read that failed when the trace was taken fails again, and delivers nothing.
        if (NextIs(TraceEvent::CommandFailed, false)) return Steps[Next++].Outcome;
        // The next recorded answer takes over once the one before has been read.
        if (NextIs(TraceEvent::Answer, false)) Answering = Next++;
        if (!Answering) return {};
        const auto& answer = Steps[*Answering].Bytes;
        std::copy_n(answer.begin(), std::min(buffer.size(), answer.size()), buffer.begin());
        return {};
    }
};

namespace {
class ReplayChannel : public DeviceChannel {
public:
    explicit ReplayChannel(std::shared_ptr<TraceReplayLink::State> state) : state_(std::move(state)) {}
    CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override { return state_->Write(data); }
    CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), 0);
        return state_->Read(buffer);
    }

private:
    std::shared_ptr<TraceReplayLink::State> state_;
};
}  // namespace

TraceReplayLink::TraceReplayLink(std::vector<TraceStep> steps) : state_(std::make_shared<State>()) {
    state_->Steps = std::move(steps);
}
TraceReplayLink::~TraceReplayLink() = default;

std::uint16_t TraceReplayLink::ScanDrives() { return state_->Scan() ? 1 : 0; }

OpenResult TraceReplayLink::OpenDevice() {
    OpenResult r;
    if (!state_->Present) return r;  // NoRadio, as when the trace was taken
    r.Failure = OpenFailure::None;
    r.Channel = std::make_unique<ReplayChannel>(state_);
    return r;
}

bool TraceReplayLink::Finished() const {
    return state_->Divergence.empty() && state_->Next == state_->Steps.size();
}
const std::string& TraceReplayLink::Divergence() const { return state_->Divergence; }

}  // namespace quenfall
