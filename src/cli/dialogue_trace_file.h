#pragma once
// The --trace recording of a dialogue: "> " and the bytes of each frame as written, "< "
// and the 9 bytes of each accepted answer, in upper-case hex, one line each. A trace taken
// on a real radio can be replayed by a test.
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
    void FrameWritten(std::span<const std::uint8_t> frame) override;
    void AnswerAccepted(std::span<const std::uint8_t> answer) override;

private:
    void Line(char direction, std::span<const std::uint8_t> bytes);
    std::ofstream out_;
    std::string line_;
};

}  // namespace quenfall::cli
