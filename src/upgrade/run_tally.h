#pragma once
// Counts what a run sends (every frame, and the block frames among them), passing the
// dialogue on to the user's trace if any: the history records a run only when it sent a
// first request, with the blocks it sent, and what the system saw of its last command that
// did not go through.
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/command_frame.h"
#include "upgrade/upgrade_sequencer.h"

namespace quenfall {

class RunTally final : public DialogueTrace {
public:
    explicit RunTally(DialogueTrace* next = nullptr) : next_(next) {}
    void FrameWritten(std::span<const std::uint8_t> frame) override {
        frames_.fetch_add(1, std::memory_order_relaxed);
        if (frame.size() == BlockFrameLength) blocks_.fetch_add(1, std::memory_order_relaxed);
        if (next_) next_->FrameWritten(frame);
    }
    void AnswerAccepted(std::span<const std::uint8_t> answer) override {
        if (next_) next_->AnswerAccepted(answer);
    }
    void CommandFailed(bool written, const CommandOutcome& outcome) override {
        lastNonGood_ = FailedCommand{written, outcome};
        if (next_) next_->CommandFailed(written, outcome);
    }
    void RadioPresence(bool present) override {
        if (next_) next_->RadioPresence(present);
    }
    // Safe to read from another thread while the run goes on (what a second Ctrl-C keeps).
    std::uint32_t Frames() const { return frames_.load(std::memory_order_relaxed); }
    // The run's last command whose outcome was not good, in one line; empty when none.
    std::string LastNonGood() const {
        return lastNonGood_ ? DescribeCommandOutcome(lastNonGood_->Written, lastNonGood_->Outcome) : std::string();
    }
    std::uint32_t Blocks() const { return blocks_.load(std::memory_order_relaxed); }

private:
    DialogueTrace* next_;
    std::atomic<std::uint32_t> frames_{0};
    std::atomic<std::uint32_t> blocks_{0};
    std::optional<FailedCommand> lastNonGood_;
};

}  // namespace quenfall
