#pragma once
// The --trace recording of a dialogue, in the text form of upgrade/dialogue_trace_text.h. A
// trace taken on a real radio replays through TraceReplayLink as a regression test.
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "upgrade/upgrade_sequencer.h"

namespace quenfall::cli {

class DialogueTraceFile : public DialogueTrace {
public:
    explicit DialogueTraceFile(const std::filesystem::path& path);
    bool IsOpen() const { return out_.is_open() && out_.good(); }
    // The system's reason when the file could not be opened.
    const std::string& Why() const { return why_; }
    void FrameWritten(std::span<const std::uint8_t> frame) override;
    void AnswerAccepted(std::span<const std::uint8_t> answer) override;
    void CommandFailed(bool written, const CommandOutcome& outcome) override;
    void RadioPresence(bool present) override;

private:
    void Line(const std::string& line);
    std::ofstream out_;
    std::string why_;
};

}  // namespace quenfall::cli
