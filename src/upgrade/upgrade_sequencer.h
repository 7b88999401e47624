#pragma once
// The upgrade sequencer: one run from the Upgrade click to its end, as a state machine
// driven by timer ticks. It has no thread and never waits in a loop: each handler is one
// tick of a 10 ms timer, does at most one read from the radio, decides, and hands the run
// on by switching timers. The phase of a run is the one sequencer timer that is on.
//
// Contract for hosts (the window, the command line, tests): call Button2Click on the
// Upgrade click, route every firing of a sequencer timer to OnTimer (or TimerDispatch), all
// on one thread. The sequencer calls the view and the link only from inside these calls.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "package/package.h"
#include "package/package_header.h"
#include "protocol/command_frame.h"
#include "upgrade/command_outcome.h"
#include "upgrade/device_link.h"
#include "upgrade/timer_bank.h"
#include "upgrade/upgrade_view.h"
#include "upgrade/upload_plan.h"

namespace quenfall {

// Receives the dialogue as it happens, for --trace and for tests.
class DialogueTrace {
public:
    virtual ~DialogueTrace() = default;
    virtual void FrameWritten(std::span<const std::uint8_t> frame) = 0;   // as sent (scrambled)
    virtual void AnswerAccepted(std::span<const std::uint8_t> answer) = 0;  // the 9 bytes
    // A command whose outcome was not good, right after its frame for a write; one call
    // per such command.
    virtual void CommandFailed(bool /*written*/, const CommandOutcome& /*outcome*/) {}
    // A scan found the radio gone from the bus (false), or back (true).
    virtual void RadioPresence(bool /*present*/) {}
};

// A command whose outcome was not good: a write or a read, and what the system saw.
struct FailedCommand {
    bool Written = false;
    CommandOutcome Outcome;
};

inline constexpr std::uint16_t PollTimeoutTicks = 400;   // one answer window
inline constexpr std::int8_t RetryLimit = 3;             // sends of an enter or exit request
inline constexpr std::uint16_t RestartWaitTicks = 800;   // reopen on the tick after these
inline constexpr int ProgressFullWidth = 710;
inline constexpr std::chrono::milliseconds CompletionPause{2000};

enum class PollOutcome : std::uint8_t { WindowExpired, Accepted, NothingYet };

// Everything a run keeps between ticks. One instance lives as long as its sequencer; the
// buffers are part of it, so nothing is allocated per tick.
struct UpgradeState {
    bool Busy = false;                       // the block upload is under way
    std::unique_ptr<DeviceChannel> Channel;  // the opened radio drive; null = none
    std::array<std::uint8_t, ResponseBufferSize> ResponseBuffer{};
    std::uint16_t ResponseLength = 0;  // 9 after every request sent
    std::uint16_t PollTicks = 0;       // ticks of the answer window now running
    std::uint8_t RetryCount = 0;       // expired windows of the request now awaited
    std::uint16_t SettleTicks = 0;     // ticks of the wait for the radio's restart
    std::uint16_t FrameLength = 0;     // length of the frame sent last
    // Position in Sections of the section being uploaded. It is kept across runs on
    // purpose: it is the count byte of every enter request but a run's first, which the
    // radio has always been sent (00 FF before any upload).
    std::uint8_t SectionCursor = 0;
    std::uint8_t CurrentSectionId = 0;
    std::uint32_t CurrentSectionSize = 0;
    std::int32_t BlockIndex = 0;   // block in flight, within the current section
    std::int32_t BlockCount = 0;   // blocks of the current section
    std::int32_t BlocksDone = 0;   // blocks acknowledged in this run
    std::int32_t TotalBlocks = 0;  // blocks of every present section, left-out ones included
    // The run works on the package it started with, whatever is loaded meanwhile.
    std::shared_ptr<const Package> RunPackage;
    SectionList Sections;                         // built from RunPackage at the click
    std::span<const std::uint8_t> SectionData;    // the current section, inside RunPackage
    FrameBuffer Frame{};                          // the request built last
    CommandOutcome LastWriteOutcome{};            // of the frame sent last
    // The last command of this run whose outcome was not good; none since the click.
    std::optional<FailedCommand> LastNonGood;
};

class UpgradeSequencer {
public:
    UpgradeSequencer(DeviceLink& link, UpgradeView& view, TimerBank& timers);
    UpgradeSequencer(const UpgradeSequencer&) = delete;
    UpgradeSequencer& operator=(const UpgradeSequencer&) = delete;

    // The Upgrade click. loaded is the package loaded now; null when none is. Ignored while
    // an upload is under way. During boot-mode entry it restarts the run from scratch.
    void Button2Click(std::shared_ptr<const Package> loaded);

    // Runs the handler of one of the six sequencer timers; other ids are ignored.
    void OnTimer(TimerId id);
    void EnterTunerModeTimerTimer();
    void EnterModeSureTimerTimer();
    void EnterBootCheckTimerTimer();
    void CheckTimerTimer();
    void UpdateTimerTimer();
    void ExitBootModeTimerTimer();

    // The device watch found no radio. UpdateTimer goes off; an upload that no timer would
    // carry on any more is ended (Busy clear, channel closed). The watch writes the texts.
    void RadioLost();
    // The user stopped the program: the run ends where it is, as when its radio is lost for
    // good: every sequencer timer off, the busy flag clear, the drive closed. Nothing more is
    // sent and no text is shown; the host says how the run ended.
    void Stop();

    bool Busy() const { return state_.Busy; }
    const UpgradeState& State() const { return state_; }
    void SetTrace(DialogueTrace* trace) { trace_ = trace; }
    // The last non-good command outcome of this run in one line; empty when every command
    // of the run went through.
    std::string LastNonGoodOutcomeText() const;

private:
    void SendRequest(std::uint16_t length);
    void NoteOutcome(bool written, const CommandOutcome& outcome);
    PollOutcome PollResponse(std::uint16_t expectedCode);
    void SendEnterRequest(std::uint8_t count);
    void SendBlockRequest();
    void SendExitRequest();
    void LoadSection(std::uint8_t id);
    void StartUpload();
    void EndOnCommunicationError();
    void AbandonRun();
    void ClearResponse();
    void SwitchOffSequencerTimers();
    bool AnySequencerTimerOn() const;
    bool InRun(TimerId own);
    std::uint16_t EnterResponseCode() const;
    void EnterPollerWindowExpired(TimerId own);
    // The entry answer awaited on own's tick: true once the radio's answer is accepted, the
    // window and retry counts starting afresh; an expired window asks again, up to the limit.
    bool EnterAnswered(TimerId own);
    void SetProgress();

    DeviceLink& link_;
    UpgradeView& view_;
    TimerBank& timers_;
    DialogueTrace* trace_ = nullptr;
    UpgradeState state_;
};

}  // namespace quenfall
