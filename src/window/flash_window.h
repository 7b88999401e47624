#pragma once
// The window's decisions, once for every face: the handlers of the form and its controls,
// the seven timers' routing, the upgrade's view, the default error display. A face
// (src/ui/qt, src/ui/win32) builds the controls of window_layout.h, hands every user
// action, timer firing and USB notice to the methods below, on the window's thread, and
// carries out what WindowFace asks. No platform header is needed here.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "package/package.h"
#include "upgrade/device_link.h"
#include "upgrade/device_watch.h"
#include "upgrade/timer_bank.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/run_tally.h"
#include "upgrade/time_left.h"
#include "upgrade/upgrade_view.h"
#include "window/run_observer.h"
#include "window/window_face.h"

namespace quenfall::window {

class FlashWindow : public UpgradeView {
public:
    using PackageObserver = std::function<void(const std::shared_ptr<const Package>&)>;
    using TextObserver = std::function<void(std::u16string_view)>;
    using WidthObserver = std::function<void(int)>;

    // applicationTitle: the caption of the boxes (see ApplicationTitle).
    FlashWindow(DeviceLink& link, WindowFace& face, TimerBank& timers, std::u16string applicationTitle);
    FlashWindow(const FlashWindow&) = delete;
    FlashWindow& operator=(const FlashWindow&) = delete;

    // ---- what the face reports (each guarded: an error that escapes goes to the default
    // error display and the window carries on) ----
    // The device watch's registration failed with this error number: shown before the window.
    void RegistrationFailed(std::string_view errorText);
    // The package loaded as the window is first shown, right after FormShow, exactly as if
    // Select had chosen it.
    void SetStartPackage(ChosenFile file) { startPackage_ = std::move(file); }
    // The window is being shown; FormShow runs the first time only (not on restoring).
    void Shown();
    // Whether a close request may go through.
    bool CloseQuery() const;
    void Click(ControlId control);
    void MouseDown(ControlId control, MouseButton button);
    void MouseMove(ControlId control);
    void MouseLeave(ControlId control);
    // A key pressed while control has the focus; true when the window used it, and the face
    // must then not handle it further.
    bool KeyDown(ControlId control, Key key);
    void Timer(TimerId id);
    // A USB device arrived or left (the platform's notice, or the emulated radio's).
    void UsbDeviceChanged();

    // ---- UpgradeView ----
    void SetStatusText(std::string_view text) override;
    void SetProgressWidth(int pixels) override;
    void SetSuccessIconVisible(bool visible) override;
    void SetFailureIconVisible(bool visible) override;
    void ShowInfo(std::string_view text) override;
    void ShowError(std::string_view text, std::string_view caption) override;
    void Pause(std::chrono::milliseconds duration) override;

    // An error that escaped a handler: a modal error box owned by the window, captioned with
    // the application title, the message with the full-stop rule applied.
    void ShowDefaultError(std::u16string_view message);

    bool Busy() const { return sequencer_.Busy(); }
    const std::shared_ptr<const Package>& LoadedPackage() const { return loadedPackage_; }
    const UpgradeSequencer& Sequencer() const { return sequencer_; }
    const std::u16string& Title() const { return applicationTitle_; }
    const std::u16string& StatusText() const { return statusText_; }

    // For the face's signals, the emulated radio and tests: every text written to the status
    // line and every width given to the progress bar, in order, and every accepted package.
    void OnStatusText(TextObserver observer) { statusObservers_.push_back(std::move(observer)); }
    void OnProgressWidth(WidthObserver observer) { widthObservers_.push_back(std::move(observer)); }
    void OnPackageAccepted(PackageObserver observer) { packageObservers_.push_back(std::move(observer)); }
    // Told of every run that sent the radio a first request, as it ends (the history).
    void SetRunObserver(RunObserver* observer) { runObserver_ = observer; }
    // The clock the time left is measured by: the system's steady clock unless a test or a
    // simulation runs the timers in virtual time.
    using ClockNow = std::function<TimeLeftEstimator::Clock::time_point()>;
    void SetClock(ClockNow now) { now_ = std::move(now); }

private:
    void FormShow();
    void Button1Click();
    void LoadChosen(const ChosenFile& chosen);
    void Button2Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void Image1MouseDown(MouseButton button);
    void Label3MouseMove();
    void Label3MouseLeave();
    void Label3Click();
    template <typename Handler>
    void Guarded(Handler&& handler, std::optional<TimerId> timer = std::nullopt);
    void EndRun();
    void AfterHandler();
    // The progress bar's tooltip and accessible description, from the run's estimate.
    void TellProgress();

    DeviceLink& link_;
    WindowFace& face_;
    TimerBank& timers_;
    std::u16string applicationTitle_;
    UpgradeSequencer sequencer_;
    DeviceWatch watch_;
    std::shared_ptr<const Package> loadedPackage_;
    std::optional<ChosenFile> startPackage_;
    std::u16string statusText_;
    bool shown_ = false;
    bool errorBoxOpen_ = false;
    // The timer whose failure was reported last, with its message.
    std::optional<std::pair<TimerId, std::u16string>> repeatedFailure_;
    std::vector<TextObserver> statusObservers_;
    std::vector<WidthObserver> widthObservers_;
    std::vector<PackageObserver> packageObservers_;
    // The run now under way, for the run observer.
    RunTally tally_;
    RunObserver* runObserver_ = nullptr;
    bool runActive_ = false;
    bool runJustEnded_ = false;
    int handlerDepth_ = 0;
    WindowRunEnd run_;
    std::uint32_t blocksAtStart_ = 0;
    std::string loadedName_;
    std::string lastStatus_;
    // The estimate of the run under way, and what the progress bar was last told of it.
    ClockNow now_ = [] { return TimeLeftEstimator::Clock::now(); };
    std::optional<TimeLeftEstimator> estimator_;
    std::int32_t blocksTotal_ = 0;
    RunProgress told_;
};

}  // namespace quenfall::window
