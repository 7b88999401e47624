#include "cli/dialogue_trace_file.h"

#include "radio/dialogue_trace_text.h"

namespace quenfall::cli {

DialogueTraceFile::DialogueTraceFile(const std::filesystem::path& path)
    : out_(path, std::ios::binary | std::ios::trunc) {}

void DialogueTraceFile::FrameWritten(std::span<const std::uint8_t> frame) { Line('>', frame); }
void DialogueTraceFile::AnswerAccepted(std::span<const std::uint8_t> answer) { Line('<', answer); }

void DialogueTraceFile::Line(char direction, std::span<const std::uint8_t> bytes) {
    out_ << FormatTraceLine(direction == '>', bytes);
    // Flushed per line: a trace is read after a run that may have ended badly.
    out_.flush();
}

}  // namespace quenfall::cli
