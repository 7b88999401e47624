#pragma once
// A radio played back from a recorded dialogue (see dialogue_trace_text.h): every frame
// written must be the trace's next "> " frame, byte for byte; the reads after it return the
// "< " answer recorded behind it (one read per recorded answer when several follow each
// other, as status 1 or 2 followed by the real answer do). Where the trace recorded no
// answer, reads return zeros, so the tool's answer window expires as it did when the trace
// was taken. A command whose outcome the trace records as not good reports it again (a
// failed read delivering nothing). The radio is on the bus until a "- radio left" step and
// back after "+ radio back": each scan plays one such step when it is next, so the tool
// finds the radio gone and back where it did when the trace was taken. The first frame that differs is reported
// and ends the replay: from then on nothing is answered.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "upgrade/dialogue_trace_text.h"
#include "upgrade/device_link.h"

namespace quenfall {

class TraceReplayLink : public DeviceLink {
public:
    explicit TraceReplayLink(std::vector<TraceStep> steps);
    ~TraceReplayLink() override;

    std::uint16_t ScanDrives() override;
    OpenResult OpenDevice() override;

    // Every step of the trace was played and nothing differed.
    bool Finished() const;
    // What differed, in words; empty while the dialogue follows the trace.
    const std::string& Divergence() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace quenfall
