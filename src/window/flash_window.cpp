#include "window/flash_window.h"

#include <exception>
#include <thread>

#include "package/package_loader.h"
#include "upgrade/upload_plan.h"
#include "window/window_accessibility.h"
#include "upgrade/status_texts.h"
#include "window/window_texts.h"

namespace quenfall::window {

FlashWindow::FlashWindow(DeviceLink& link, WindowFace& face, TimerBank& timers, std::u16string applicationTitle)
    : link_(link),
      face_(face),
      timers_(timers),
      applicationTitle_(std::move(applicationTitle)),
      sequencer_(link, *this, timers),
      watch_(link, *this, timers, sequencer_) {
    sequencer_.SetTrace(&tally_);
}

template <typename Handler>
void FlashWindow::Guarded(Handler&& handler, std::optional<TimerId> timer) {
    std::u16string message;
    try {
        handler();
        // A timer whose handler works again may report its next failure.
        if (timer && repeatedFailure_ && repeatedFailure_->first == *timer) repeatedFailure_.reset();
        return;
    } catch (const std::exception& error) {
        message = Utf16(error.what());
    } catch (...) {
        // Not an error object: shown with an empty text.
    }
    // The box's own message loop goes on firing timers: a handler failing on every tick
    // would open box over box without end. One box at a time, and a timer that fails again
    // the same way after its box was closed is not reported again until it has worked once.
    if (errorBoxOpen_) return;
    if (timer) {
        if (repeatedFailure_ && repeatedFailure_->first == *timer && repeatedFailure_->second == message) return;
        repeatedFailure_.emplace(*timer, message);
    }
    ShowDefaultError(message);
}

// ---- what the face reports ---------------------------------------------------------------

void FlashWindow::RegistrationFailed(std::string_view errorText) {
    Guarded([&] { ShowInfo(errorText); });
}

void FlashWindow::Shown() {
    // Restoring from the taskbar shows the window again; the texts are set and the radio
    // looked for only when it is first shown.
    if (shown_) return;
    shown_ = true;
    Guarded([this] { FormShow(); });
    if (startPackage_) Guarded([this] { LoadChosen(*startPackage_); });
}

bool FlashWindow::CloseQuery() const {
    // An upload must not be cut off half-way: the radio would be left without firmware.
    return !sequencer_.Busy();
}

void FlashWindow::Click(ControlId control) {
    switch (control) {
    case ControlId::Button1: Guarded([this] { Button1Click(); }); break;
    case ControlId::Button2: Guarded([this] { Button2Click(); }); break;
    case ControlId::SpeedButton1: Guarded([this] { SpeedButton1Click(); }); break;
    case ControlId::SpeedButton2: Guarded([this] { SpeedButton2Click(); }); break;
    // Only Label3 opens the address; a click on Label4 does nothing.
    case ControlId::Label3: Guarded([this] { Label3Click(); }); break;
    default: break;
    }
}

void FlashWindow::MouseDown(ControlId control, MouseButton button) {
    // Only the background drags; every other control takes its own presses.
    if (control == ControlId::Image1) Guarded([this, button] { Image1MouseDown(button); });
}

void FlashWindow::MouseMove(ControlId control) {
    if (control == ControlId::Label3 || control == ControlId::Label4) Guarded([this] { Label3MouseMove(); });
}

void FlashWindow::MouseLeave(ControlId control) {
    if (control == ControlId::Label3 || control == ControlId::Label4) Guarded([this] { Label3MouseLeave(); });
}

bool FlashWindow::KeyDown(ControlId control, Key key) {
    // Enter presses the focused push button, as on every desktop; the window systems leave
    // that to dialogs.
    if (key != Key::Enter || Spec(control).Kind != ControlKind::PushButton) return false;
    Click(control);
    return true;
}

void FlashWindow::Timer(TimerId id) {
    ++handlerDepth_;
    Guarded([this, id] { TimerDispatch(sequencer_, watch_)(id); }, id);
    --handlerDepth_;
    AfterHandler();
}

void FlashWindow::UsbDeviceChanged() {
    ++handlerDepth_;
    Guarded([this] { watch_.OnUsbDeviceChanged(); });
    --handlerDepth_;
    AfterHandler();
}

// ---- the run observer ------------------------------------------------------------------------

void FlashWindow::EndRun() {
    runActive_ = false;
    runJustEnded_ = true;
    run_.End = std::chrono::system_clock::now();
    run_.Outcome = lastStatus_;
    run_.Completed = lastStatus_ == UpgradeCompleteText;
    run_.BlocksSent = tally_.Blocks() - blocksAtStart_;
    run_.LastCommandProblem = sequencer_.LastNonGoodOutcomeText();
    if (runObserver_) runObserver_->RunEnded(run_);
    // Before the completion's pause and box.
    TellProgress();
}

void FlashWindow::TellProgress() {
    if (!estimator_) return;
    const bool ended = !runActive_;
    const RunPhase phase = ended ? RunPhase::Ended : PhaseOf(timers_);
    RunProgress now = EstimateRun(*estimator_, phase, sequencer_.State().BlocksDone, blocksTotal_, now_());
    if (ended && run_.Completed) now.Percent = 100;
    if (ended) estimator_.reset();
    // Told only when what it shows has changed: no text is made on a tick that changes nothing.
    if (!ended && ShownAlike(now, told_)) return;
    told_ = now;
    face_.SetTooltip(ControlId::Image3, ProgressDescription(now, ended, run_.Completed));
}

void FlashWindow::AfterHandler() {
    // A run the device watch ended between two blocks sets no ending text of its own.
    if (runActive_ && !sequencer_.Busy()) {
        bool timerOn = false;
        for (TimerId id : SequencerTimers) timerOn = timerOn || timers_.IsOn(id);
        if (!timerOn) EndRun();
    }
    TellProgress();
    // Handlers run inside the boxes of others (the completion's): the notice waits for the
    // outermost one to return.
    if (!runJustEnded_ || handlerDepth_ > 0) return;
    runJustEnded_ = false;
    if (!runObserver_) return;
    if (const std::string notice = runObserver_->NoticeAfterRun(); !notice.empty()) ShowInfo(notice);
}

// ---- the handlers --------------------------------------------------------------------------

void FlashWindow::FormShow() {
    face_.SetText(ControlId::Label2, TitleText);
    face_.SetCaption(TitleText);
    face_.SetText(ControlId::Label4, ShownText(ForAllModelText));
    face_.SetText(ControlId::Label1, ShownText(FirmwareText));
    face_.SetText(ControlId::Button2, ShownText(UpgradeButtonText));
    face_.SetText(ControlId::Button1, ShownText(SelectButtonText));
    if (link_.ScanDrives() == 0) SetStatusText(NoDeviceText);
    SetProgressWidth(0);
}

void FlashWindow::Button1Click() {
    if (sequencer_.Busy()) return;
    // Set anew for every use.
    const std::optional<ChosenFile> chosen = face_.OpenFileName(PackageFilter());
    if (!chosen) return;
    LoadChosen(*chosen);
}

void FlashWindow::LoadChosen(const ChosenFile& chosen) {
    LoadResult result = LoadPackage(chosen.Path);
    switch (result.Verdict) {
    case LoadVerdict::Accepted:
        loadedPackage_ = std::move(result.Accepted);
        {
            const std::u8string name = chosen.Path.filename().u8string();
            loadedName_.assign(name.begin(), name.end());
        }
        face_.SetText(ControlId::Edit1, chosen.Text);
        // Which exact file, for a shop that records it; as sha256sum prints it.
        face_.SetTooltip(ControlId::Edit1,
                         loadedPackage_->Sha256.empty() ? u"" : u"SHA-256 " + Utf16(loadedPackage_->Sha256));
        for (const auto& observer : packageObservers_) observer(loadedPackage_);
        break;
    case LoadVerdict::Refused:
        ShowInfo(result.Message);
        face_.SetText(ControlId::Edit1, u"");
        // The box keeps the window's one text; the file box's tooltip says which file and why.
        // Translators: the file box's tooltip for a refused package: its path, then why.
        face_.SetTooltip(ControlId::Edit1, Utf16(text::Fill(text::Tr("{file}: {reason}"),
                                                            {{"file", Utf8(chosen.Text)}, {"reason", result.ReasonText.Translated()}})));
        loadedPackage_.reset();
        break;
    case LoadVerdict::Unreadable:
        // Nothing was read: the package loaded before, if any, stays, and so does Edit1.
        ShowDefaultError(Utf16(result.Message));
        break;
    }
}

void FlashWindow::Button2Click() {
    // A package for another model than the radio last took can leave it unusable: asked
    // first, No by default, the answer recorded. The status line stays as it is.
    if (!runActive_ && loadedPackage_ && runObserver_ != nullptr && !sequencer_.Busy()) {
        if (const std::optional<ModelChange> change = runObserver_->ModelChangeBefore(*loadedPackage_)) {
            const std::shared_ptr<const Package> package = loadedPackage_;
            const bool allowed = face_.AskBox(applicationTitle_, ModelChangeQuestion(*change));
            runObserver_->ModelChangeAnswered(*change, package, loadedName_, allowed);
            const std::string notice = runObserver_->NoticeAfterRun();
            if (!notice.empty()) face_.ShowBox(BoxOwner::Window, BoxIcon::None, applicationTitle_, Utf16(notice));
            // The box's own loop may have let a run start or the package change meanwhile.
            if (!allowed || sequencer_.Busy() || loadedPackage_ != package) return;
        }
    }
    const std::uint32_t frames = tally_.Frames();
    sequencer_.Button2Click(loadedPackage_);
    // A click during boot-mode entry starts the same run again; the record is of the run.
    if (!runActive_ && tally_.Frames() != frames) {
        runActive_ = true;
        run_ = WindowRunEnd{};
        run_.RunPackage = loadedPackage_;
        run_.PackageName = loadedName_;
        run_.Start = std::chrono::system_clock::now();
        blocksAtStart_ = tally_.Blocks();
        estimator_.emplace();
        told_ = RunProgress{};
        blocksTotal_ = loadedPackage_ ? PlanUpload(loadedPackage_->Header, loadedPackage_->Selection.ScrambleMode).SentBlocks : 0;
    }
    TellProgress();
}

void FlashWindow::SpeedButton1Click() { face_.RequestClose(); }

void FlashWindow::SpeedButton2Click() { face_.Minimise(); }

void FlashWindow::Image1MouseDown(MouseButton button) {
    if (button != MouseButton::Left) return;
    face_.StartSystemMove();
}

void FlashWindow::Label3MouseMove() { face_.SetHandCursor(true); }

void FlashWindow::Label3MouseLeave() { face_.SetHandCursor(false); }

void FlashWindow::Label3Click() { face_.OpenAddress(Utf16(HomePageAddress)); }

// ---- the upgrade's view --------------------------------------------------------------------

void FlashWindow::SetStatusText(std::string_view text) {
    // The observers and the records keep the English; the status line shows it translated.
    statusText_ = Utf16(text);
    lastStatus_.assign(text);
    face_.SetText(ControlId::Label5, ShownText(text));
    for (const auto& observer : statusObservers_) observer(statusText_);
    // The run is recorded as its ending is shown, before the completion's pause and box.
    if (runActive_ && (text == UpgradeCompleteText || text == CommunicationErrorText)) EndRun();
}

void FlashWindow::SetProgressWidth(int pixels) {
    face_.SetWidth(ControlId::Image3, pixels);
    for (const auto& observer : widthObservers_) observer(pixels);
}

void FlashWindow::SetSuccessIconVisible(bool visible) { face_.SetVisible(ControlId::Image4, visible); }

void FlashWindow::SetFailureIconVisible(bool visible) { face_.SetVisible(ControlId::Image5, visible); }

void FlashWindow::ShowInfo(std::string_view text) {
    // The sequencer's texts are marked constants; a text made of a file's own words (a
    // loader's detail) is not in the catalogue and shows as it is.
    face_.ShowBox(BoxOwner::Screen, BoxIcon::None, applicationTitle_, ShownText(text));
}

void FlashWindow::ShowError(std::string_view text, std::string_view caption) {
    face_.ShowBox(BoxOwner::Window, BoxIcon::Error, ShownText(caption), ShownText(text));
}

void FlashWindow::ShowDefaultError(std::u16string_view message) {
    const bool nested = errorBoxOpen_;
    errorBoxOpen_ = true;
    face_.ShowBox(BoxOwner::Window, BoxIcon::Error, applicationTitle_, DefaultErrorText(message));
    errorBoxOpen_ = nested;
}

void FlashWindow::Pause(std::chrono::milliseconds duration) {
    // Nothing is handled during the pause, so what was just written (the completion text and
    // the success icon) is painted now, or the user would stare at the old status line.
    face_.PaintNow();
    std::this_thread::sleep_for(duration);
}

}  // namespace quenfall::window
