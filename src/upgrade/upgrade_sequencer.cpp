#include "upgrade/upgrade_sequencer.h"

#include <algorithm>
#include <optional>

#include "package/package_loader.h"
#include "upgrade/status_texts.h"

namespace quenfall {

UpgradeSequencer::UpgradeSequencer(DeviceLink& link, UpgradeView& view, TimerBank& timers)
    : link_(link), view_(view), timers_(timers) {}

// ---- requests and answers -------------------------------------------------------------

void UpgradeSequencer::SendRequest(std::uint16_t length) {
    state_.FrameLength = length;
    const std::span<const std::uint8_t> frame(state_.Frame.data(), length);
    // A failed write is not judged: it shows as an answer window that expires. What the
    // system saw is kept for the trace and the user.
    const CommandOutcome outcome = state_.Channel ? state_.Channel->ScsiWrite(frame) : CommandOutcome{};
    state_.LastWriteOutcome = outcome;
    if (trace_ != nullptr) trace_->FrameWritten(frame);
    NoteOutcome(true, outcome);
    state_.ResponseLength = ResponseFrameLength;
}

void UpgradeSequencer::NoteOutcome(bool written, const CommandOutcome& outcome) {
    if (outcome.Good()) return;
    state_.LastNonGood = FailedCommand{written, outcome};
    if (trace_ != nullptr) trace_->CommandFailed(written, outcome);
}

std::string UpgradeSequencer::LastNonGoodOutcomeText() const {
    if (!state_.LastNonGood) return {};
    return DescribeCommandOutcome(state_.LastNonGood->Written, state_.LastNonGood->Outcome);
}

void UpgradeSequencer::SendEnterRequest(std::uint8_t count) {
    const ProfileSelection& selection = state_.RunPackage->Selection;
    SendRequest(EnterRequest(state_.Frame, selection, count, state_.Sections.Ids));
}

void UpgradeSequencer::SendBlockRequest() {
    SendRequest(BlockRequest(state_.Frame, state_.RunPackage->Selection, state_.CurrentSectionId,
                             state_.SectionData, static_cast<std::uint16_t>(state_.BlockIndex),
                             state_.CurrentSectionSize));
}

void UpgradeSequencer::SendExitRequest() {
    SendRequest(ExitRequest(state_.Frame, state_.RunPackage->Selection));
}

PollOutcome UpgradeSequencer::PollResponse(std::uint16_t expectedCode) {
    ++state_.PollTicks;
    const std::span<std::uint8_t> answer(state_.ResponseBuffer.data(), state_.ResponseLength);
    if (state_.Channel) {
        NoteOutcome(false, state_.Channel->ScsiRead(answer));
    } else {
        std::fill(answer.begin(), answer.end(), std::uint8_t{0});
    }
    if (state_.PollTicks >= PollTimeoutTicks) return PollOutcome::WindowExpired;
    if (!ValidateResponse(answer, expectedCode, state_.ResponseLength)) return PollOutcome::NothingYet;
    if (trace_ != nullptr) trace_->AnswerAccepted(answer);
    return PollOutcome::Accepted;
}

void UpgradeSequencer::ClearResponse() { state_.ResponseBuffer.fill(0); }

std::uint16_t UpgradeSequencer::EnterResponseCode() const {
    const ProfileSelection& selection = state_.RunPackage->Selection;
    // The loader refuses other variants; EnterA keeps a hand-made package from matching
    // nothing at all.
    const CommandKind kind = EnterKind(selection.RequestVariant).value_or(CommandKind::EnterA);
    return ResponseCode(selection, kind);
}

// ---- timers ---------------------------------------------------------------------------

bool UpgradeSequencer::InRun(TimerId own) {
    // A firing with no run behind it (a host switched the timer on by mistake) must not
    // touch a package or a drive that is not there.
    if (state_.RunPackage && state_.Sections.Count != 0) return true;
    timers_.SwitchOff(own);
    return false;
}

void UpgradeSequencer::SwitchOffSequencerTimers() {
    for (const TimerId id : SequencerTimers) timers_.SwitchOff(id);
}

bool UpgradeSequencer::AnySequencerTimerOn() const { return quenfall::AnySequencerTimerOn(timers_); }

void UpgradeSequencer::OnTimer(TimerId id) {
    switch (id) {
        case TimerId::EnterTunerMode: EnterTunerModeTimerTimer(); break;
        case TimerId::EnterModeSure: EnterModeSureTimerTimer(); break;
        case TimerId::EnterBootCheck: EnterBootCheckTimerTimer(); break;
        case TimerId::Check: CheckTimerTimer(); break;
        case TimerId::Update: UpdateTimerTimer(); break;
        case TimerId::ExitBootMode: ExitBootModeTimerTimer(); break;
        case TimerId::Connect: break;
    }
}

// ---- the Upgrade click ----------------------------------------------------------------

void UpgradeSequencer::AbandonRun() {
    // One dialogue with the radio at a time: the run in boot-mode entry stops and its
    // handle is closed before the new run sends anything.
    SwitchOffSequencerTimers();
    state_.Channel.reset();
    state_.PollTicks = 0;
    state_.RetryCount = 0;
    state_.SettleTicks = 0;
    ClearResponse();
}

void UpgradeSequencer::Button2Click(std::shared_ptr<const Package> loaded) {
    if (state_.Busy || !loaded || loaded->PackageLength() == 0) return;
    if (loaded->SectionCount == 0 || CountSections(loaded->Header) == 0) {
        view_.ShowError(NoSectionsMessage, ErrorCaption);
        return;
    }
    if (!EnterKind(loaded->Selection.RequestVariant)) {
        view_.ShowError(PackageBadVariantText, ErrorCaption);
        return;
    }

    // A run still in boot-mode entry (the radio may be away restarting) gives way to the new
    // one only once the radio has really been opened again: when the open fails, the click
    // changes nothing and that run's restart wait can still find the radio when it returns.
    link_.ScanDrives();
    OpenResult opened = link_.OpenDevice();
    if (opened.Failure != OpenFailure::None || !opened.Channel) {
        if (opened.Failure == OpenFailure::PermissionDenied && !opened.Detail.empty()) {
            view_.ShowError(opened.Detail, ErrorCaption);
        } else {
            view_.ShowError(CannotConnectMessage, ErrorCaption);
        }
        return;
    }
    const bool abandoned = AnySequencerTimerOn() || state_.Channel != nullptr;
    AbandonRun();
    state_.Channel = std::move(opened.Channel);
    state_.LastNonGood.reset();

    state_.RunPackage = std::move(loaded);
    state_.TotalBlocks = CountTotalBlocks(state_.RunPackage->Header);
    state_.Sections = state_.RunPackage->Sections();
    state_.SectionData = {};
    view_.SetProgressWidth(0);
    SendEnterRequest(state_.Sections.Count);
    // A system that refuses the commands outright (not a radio that does not answer) is
    // told as such at once, like a radio that cannot be opened, rather than after three
    // expired answer windows as a communication error.
    if (IsRefusal(state_.LastWriteOutcome)) {
        const std::string refusal = state_.Channel->RefusalAdvice(state_.LastWriteOutcome);
        state_.Channel.reset();
        if (abandoned) {  // the run this click replaced is gone too
            view_.SetStatusText(UpgradeFailedText);
            view_.SetFailureIconVisible(true);
        }
        view_.ShowError(refusal, ErrorCaption);
        return;
    }
    state_.BlocksDone = 0;
    timers_.SwitchOn(TimerId::EnterTunerMode);
    view_.SetSuccessIconVisible(false);
    view_.SetFailureIconVisible(false);
    view_.SetStatusText(EnteringBootModeText);
}

// ---- boot-mode entry ------------------------------------------------------------------

void UpgradeSequencer::EnterPollerWindowExpired(TimerId own) {
    state_.PollTicks = 0;
    ++state_.RetryCount;
    if (static_cast<std::int8_t>(state_.RetryCount) >= RetryLimit) {
        timers_.SwitchOff(own);
        EndOnCommunicationError();
        return;
    }
    SendEnterRequest(state_.SectionCursor);
}

bool UpgradeSequencer::EnterAnswered(TimerId own) {
    if (!InRun(own)) return false;
    switch (PollResponse(EnterResponseCode())) {
        case PollOutcome::WindowExpired:
            EnterPollerWindowExpired(own);
            return false;
        case PollOutcome::NothingYet:
            return false;
        case PollOutcome::Accepted:
            break;
    }
    state_.PollTicks = 0;
    state_.RetryCount = 0;
    return true;
}

void UpgradeSequencer::EnterTunerModeTimerTimer() {
    if (!EnterAnswered(TimerId::EnterTunerMode)) return;
    const std::uint8_t status = state_.ResponseBuffer[5];
    if (status == StatusRestarting) {
        ClearResponse();
        state_.SettleTicks = 0;
        timers_.SwitchOn(TimerId::EnterModeSure);
        timers_.SwitchOff(TimerId::EnterTunerMode);
    } else if (status == StatusInBootMode) {
        ClearResponse();
        timers_.SwitchOff(TimerId::EnterTunerMode);
        view_.SetStatusText(UpgradingText);
        StartUpload();
    }
    // Statuses 1 and 2: the radio is not ready yet; a fresh window runs.
}

void UpgradeSequencer::EnterModeSureTimerTimer() {
    if (!InRun(TimerId::EnterModeSure)) return;
    ++state_.SettleTicks;
    if (state_.SettleTicks <= RestartWaitTicks) return;
    state_.SettleTicks = 0;
    link_.ScanDrives();
    state_.Channel.reset();
    OpenResult opened = link_.OpenDevice();
    if (opened.Failure != OpenFailure::None || !opened.Channel) return;  // next try 801 ticks on
    state_.Channel = std::move(opened.Channel);
    SendEnterRequest(state_.SectionCursor);
    timers_.SwitchOff(TimerId::EnterModeSure);
    timers_.SwitchOn(TimerId::EnterBootCheck);
    view_.SetStatusText(UpgradingText);
}

void UpgradeSequencer::EnterBootCheckTimerTimer() {
    if (!EnterAnswered(TimerId::EnterBootCheck)) return;
    ClearResponse();
    timers_.SwitchOff(TimerId::EnterBootCheck);
    view_.SetStatusText(UpgradingText);
    StartUpload();
}

// ---- the upload -----------------------------------------------------------------------

void UpgradeSequencer::LoadSection(std::uint8_t id) {
    state_.CurrentSectionId = id;
    state_.CurrentSectionSize = state_.RunPackage->SectionSize(id);
    state_.BlockCount = static_cast<std::int32_t>(BlocksFor(state_.CurrentSectionSize));
    // The blocks are taken straight from the run's package; the request builder sends
    // zeros past the section's end, so no block carries another section's bytes.
    state_.SectionData = state_.RunPackage->SectionData(id);
}

void UpgradeSequencer::StartUpload() {
    state_.Busy = true;
    state_.SectionCursor = 0;
    LoadSection(state_.Sections.Ids[0]);
    state_.BlockIndex = FirstBlockSent(state_.CurrentSectionId, state_.RunPackage->Selection.ScrambleMode);
    SendBlockRequest();
    timers_.SwitchOn(TimerId::Check);
}

void UpgradeSequencer::CheckTimerTimer() {
    if (!InRun(TimerId::Check)) return;
    switch (PollResponse(ResponseCode(state_.RunPackage->Selection, CommandKind::Block))) {
        case PollOutcome::WindowExpired:
            // A block is never sent twice: the run ends here.
            timers_.SwitchOff(TimerId::Update);
            timers_.SwitchOff(TimerId::Check);
            EndOnCommunicationError();
            return;
        case PollOutcome::NothingYet:
            return;
        case PollOutcome::Accepted:
            break;
    }
    ClearResponse();
    timers_.SwitchOff(TimerId::Check);
    timers_.SwitchOn(TimerId::Update);
    state_.PollTicks = 0;
    state_.RetryCount = 0;
}

void UpgradeSequencer::SetProgress() {
    int width = ProgressFullWidth;
    if (state_.TotalBlocks > 0) {
        // Quotient first, then the product, truncated: 4 blocks give 177, 355, 532, 710.
        const double share = static_cast<double>(state_.BlocksDone) / state_.TotalBlocks;
        width = static_cast<int>(share * ProgressFullWidth);
    }
    view_.SetProgressWidth(std::clamp(width, 0, ProgressFullWidth));
}

void UpgradeSequencer::UpdateTimerTimer() {
    if (!InRun(TimerId::Update)) return;
    ++state_.BlockIndex;
    ++state_.BlocksDone;
    state_.PollTicks = 0;
    SetProgress();
    if (state_.BlockIndex < state_.BlockCount) {
        SendBlockRequest();
        timers_.SwitchOn(TimerId::Check);
        timers_.SwitchOff(TimerId::Update);
        return;
    }
    ++state_.SectionCursor;
    if (static_cast<std::int8_t>(state_.SectionCursor) <
        static_cast<std::int8_t>(state_.Sections.Count)) {
        LoadSection(state_.Sections.Ids[state_.SectionCursor]);
        state_.BlockIndex = 0;
        SendBlockRequest();
        timers_.SwitchOn(TimerId::Check);
        timers_.SwitchOff(TimerId::Update);
        return;
    }
    timers_.SwitchOff(TimerId::Update);
    timers_.SwitchOff(TimerId::Check);
    SendExitRequest();
    timers_.SwitchOn(TimerId::ExitBootMode);
}

void UpgradeSequencer::ExitBootModeTimerTimer() {
    if (!InRun(TimerId::ExitBootMode)) return;
    switch (PollResponse(ResponseCode(state_.RunPackage->Selection, CommandKind::Exit))) {
        case PollOutcome::WindowExpired:
            state_.PollTicks = 0;
            ++state_.RetryCount;
            if (static_cast<std::int8_t>(state_.RetryCount) >= RetryLimit) {
                timers_.SwitchOff(TimerId::ExitBootMode);
                EndOnCommunicationError();
            } else {
                SendExitRequest();
            }
            return;
        case PollOutcome::NothingYet:
            return;
        case PollOutcome::Accepted:
            break;
    }
    timers_.SwitchOff(TimerId::ExitBootMode);
    ClearResponse();
    state_.PollTicks = 0;
    state_.RetryCount = 0;
    state_.Busy = false;
    view_.SetProgressWidth(0);
    view_.SetSuccessIconVisible(true);
    view_.SetStatusText(UpgradeCompleteText);
    view_.Pause(CompletionPause);
    // The radio resets by itself after the exit answer, so the drive stays open until the
    // user has read the message. It is taken out of the state first: a run started while
    // the message is open keeps its own drive.
    std::unique_ptr<DeviceChannel> finished = std::move(state_.Channel);
    view_.ShowInfo(CompletionMessage);
    finished.reset();
}

// ---- endings --------------------------------------------------------------------------

void UpgradeSequencer::EndOnCommunicationError() {
    state_.PollTicks = 0;
    state_.RetryCount = 0;
    // The caller has switched off its own timers; none of the others may outlive the run.
    SwitchOffSequencerTimers();
    view_.SetStatusText(CommunicationErrorText);
    view_.SetFailureIconVisible(true);
    state_.Busy = false;
    state_.Channel.reset();
}

void UpgradeSequencer::Stop() {
    AbandonRun();
    state_.Busy = false;
}

void UpgradeSequencer::RadioLost() {
    timers_.SwitchOff(TimerId::Update);
    // With UpdateTimer gone, an upload between two blocks has no timer left to end it.
    if (state_.Busy && !AnySequencerTimerOn()) {
        state_.PollTicks = 0;
        state_.RetryCount = 0;
        ClearResponse();
        state_.Busy = false;
        state_.Channel.reset();
    }
}

}  // namespace quenfall
