#include "radio/trace_replay.h"

#include <algorithm>

namespace quenfall {

struct TraceReplayLink::State {
    std::vector<TraceStep> Steps;
    std::size_t Next = 0;                 // the step to be played next
    std::optional<std::size_t> Answering;  // the "< " step the reads return now
    std::size_t FramesWritten = 0;
    std::string Divergence;

    void Write(std::span<const std::uint8_t> frame) {
        ++FramesWritten;
        Answering.reset();
        if (!Divergence.empty()) return;
        if (Next >= Steps.size()) {
            Divergence = "frame " + std::to_string(FramesWritten) + " was written after the trace's end: " +
                         FormatTraceLine(true, frame);
            return;
        }
        const TraceStep& expected = Steps[Next];
        if (!expected.Written) {
            Divergence = "frame " + std::to_string(FramesWritten) + " was written where the trace has an answer: " +
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

    void Read(std::span<std::uint8_t> buffer) {
        if (!Divergence.empty()) return;
        // The next recorded answer takes over once the one before has been read.
        if (Next < Steps.size() && !Steps[Next].Written) Answering = Next++;
        if (!Answering) return;
        const auto& answer = Steps[*Answering].Bytes;
        std::copy_n(answer.begin(), std::min(buffer.size(), answer.size()), buffer.begin());
    }
};

namespace {
class ReplayChannel : public DeviceChannel {
public:
    explicit ReplayChannel(std::shared_ptr<TraceReplayLink::State> state) : state_(std::move(state)) {}
    void ScsiWrite(std::span<const std::uint8_t> data) override { state_->Write(data); }
    void ScsiRead(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), 0);
        state_->Read(buffer);
    }

private:
    std::shared_ptr<TraceReplayLink::State> state_;
};
}  // namespace

TraceReplayLink::TraceReplayLink(std::vector<TraceStep> steps) : state_(std::make_shared<State>()) {
    state_->Steps = std::move(steps);
}
TraceReplayLink::~TraceReplayLink() = default;

std::uint16_t TraceReplayLink::ScanDrives() { return 1; }

OpenResult TraceReplayLink::OpenDevice() {
    OpenResult r;
    r.Failure = OpenFailure::None;
    r.Channel = std::make_unique<ReplayChannel>(state_);
    return r;
}

bool TraceReplayLink::Finished() const {
    return state_->Divergence.empty() && state_->Next == state_->Steps.size();
}
const std::string& TraceReplayLink::Divergence() const { return state_->Divergence; }
std::size_t TraceReplayLink::StepsPlayed() const { return state_->Next; }

}  // namespace quenfall
