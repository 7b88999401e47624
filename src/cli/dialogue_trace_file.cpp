#include "cli/dialogue_trace_file.h"

#include "cli/cli_support.h"
#include "upgrade/dialogue_trace_text.h"

namespace quenfall::cli {

DialogueTraceFile::DialogueTraceFile(const std::filesystem::path& path) { OpenToWrite(out_, path, why_); }

void DialogueTraceFile::FrameWritten(std::span<const std::uint8_t> frame) { Line(FormatTraceLine(true, frame)); }
void DialogueTraceFile::AnswerAccepted(std::span<const std::uint8_t> answer) { Line(FormatTraceLine(false, answer)); }
void DialogueTraceFile::CommandFailed(bool written, const CommandOutcome& outcome) {
    Line(FormatOutcomeLine(written, outcome));
}
void DialogueTraceFile::RadioPresence(bool present) { Line(FormatPresenceLine(present)); }

void DialogueTraceFile::Line(const std::string& line) {
    out_ << line;
    // Flushed per line: a trace is read after a run that may have ended badly.
    out_.flush();
}

}  // namespace quenfall::cli
