#pragma once
// The shop window's decisions, once for every face: a crate of radios upgraded from one
// window, one row per radio labelled by where it is plugged in, one run per radio (the
// crate's runs, runs/radio_run.h, each on a thread of its own). A face (src/ui/qt,
// src/ui/win32) builds the controls of shop_face.h, hands every user action, refresh tick
// and USB notice to the methods below, on the window's thread, and carries out what
// ShopFace asks. No platform header is needed here.
//
// Starting runs does not wait for them: while any goes on the face's refresh timer is on,
// and each Refresh reads every run's state and repaints the rows that changed.
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runs/model_change.h"
#include "runs/radio_run.h"
#include "runs/radio_source.h"
#include "runs/station.h"
#include "history/history_recorder.h"
#include "package/package.h"
#include "window/shop_face.h"
#include "window/window_face.h"

namespace quenfall::window {

class ShopWindow {
public:
    // radios: where the radios come from. history: where every run is recorded.
    // applicationTitle: the caption of the boxes (see ApplicationTitle).
    ShopWindow(RadioSource& radios, ShopFace& face, HistoryRecorder& history, std::u16string applicationTitle);
    // Waits for runs still going on (the face refuses to close meanwhile).
    ~ShopWindow();
    ShopWindow(const ShopWindow&) = delete;
    ShopWindow& operator=(const ShopWindow&) = delete;

    // The package loaded as the window is first shown, exactly as Select would load it.
    void SetStartPackage(ChosenFile file) { startPackage_ = std::move(file); }
    // Station mode on as the window is first shown (quenfall --shop --station).
    void SetStationAtStart(bool on) { stationOn_ = on; }

    // ---- what the face reports (each guarded: an error that escapes is shown in the
    // default error box and the window carries on) ----
    // Shown the first time: caption, texts, the radios listed, the start package loaded.
    void Shown();
    // SelectButton, UpgradeAllButton, RetryFailedButton, StationCheck (turns station mode on
    // or off), SaveRecordButton; other controls do nothing.
    void Click(ShopControl control);
    // A key pressed while focused has the focus; true when the window used it (Enter
    // presses the focused button, else Upgrade all, the default button, when it may).
    bool KeyDown(ShopControl focused, Key key);
    // The refresh timer fired (ShopFace::SetRefreshTimer).
    void Refresh();
    // A USB device came or went (the platform's notice or the emulated crate's).
    void UsbDeviceChanged();
    // False while any run goes on, after telling why in a box.
    bool CloseQuery();
    // The boxes' caption.
    const std::u16string& Title() const { return applicationTitle_; }

    // ---- for the faces' tests and the benchmark ----
    bool Running() const;
    // Station mode: each radio upgraded once as it is plugged in (runs/station.h), with the
    // command line's rule of the same radio.
    bool StationOn() const { return stationOn_; }
    std::size_t RowCount() const { return rows_.size(); }
    const ShopRowView& Row(std::size_t index) const { return rows_.at(index).Shown; }
    const std::shared_ptr<const Package>& LoadedPackage() const { return package_; }
    // Station mode's runs and rule since it was last turned on; none while it is off.
    const Station* StationRuns() const { return station_.get(); }
    // How the last run of row index ended; none before its first run or while it goes on.
    const std::optional<RadioOutcome>& RowOutcomeOf(std::size_t index) const { return rows_.at(index).Outcome; }

private:
    struct RowState {
        RadioDrive Drive;
        ShopRowView Shown;
        std::unique_ptr<RadioRun> Run;
        std::optional<RadioOutcome> Outcome;
        // The package of the row's last completed run; none when it has none.
        std::shared_ptr<const Package> CompletedWith;
        // The package of the row's last run, and its file's name; none before its first.
        std::shared_ptr<const Package> RanWith;
        std::string RanWithName;
        // Station mode: the index of the row's run going on among the station's runs.
        std::optional<std::size_t> StationRun;
        // Station mode: since when the row's radio, its run ended, has not been on the bus.
        std::optional<std::chrono::steady_clock::time_point> GoneSince;
        // Station mode: the run as last seen going on (the station ends a run's link with it).
        RunSnapshot Last;
    };

    template <typename Handler>
    void Guarded(Handler&& handler);
    void ShowTexts();
    void Select();
    void Load(const ChosenFile& file);
    void StartRuns(bool failedOnly);
    std::vector<RadioOutcome> AskModelChanges(const std::function<bool(const RowState&)>& chosen);
    void RunsEnded();
    void ListRadios(bool keepFailed = false);
    void UpdateRow(std::size_t index, ShopRowView view);
    void ShowRunGoingOn(std::size_t index, const RunSnapshot& snapshot);
    void ShowRunEnded(std::size_t index, const RadioOutcome& outcome, const RunSnapshot& last);
    void ShowRunStarting(std::size_t index);
    void SetStation(bool on);
    void StartStation();
    void PollStation();
    void FollowStation(const Station::Changes& changes, std::chrono::steady_clock::time_point now);
    std::size_t RowOfStationRun(std::size_t run, const RadioDrive& drive);
    void PostQuestion();
    void AskHeld();
    class Polling;
    void RetryInStation();
    void SaveRecord();
    std::u16string SerialText(const RadioDrive& drive) const;
    void UpdateControls();
    void SetSummary(std::u16string text);
    void ShowDefaultError(std::u16string_view message);
    bool MayUpgradeAll() const;
    bool MayRetryFailed() const;
    bool DoneWithThisPackage(const RowState& row) const;

    RadioSource& radios_;
    ShopFace& face_;
    HistoryRecorder& history_;
    std::u16string applicationTitle_;
    std::optional<ChosenFile> startPackage_;
    std::shared_ptr<const Package> package_;
    std::string packageName_;
    std::vector<RowState> rows_;
    bool stationOn_ = false;
    std::unique_ptr<Station> station_;  // while station mode is on with a package loaded
    std::u16string summary_;
    bool shown_ = false;
    bool refreshOn_ = false;
    bool errorBoxOpen_ = false;
    // Station mode: the runs held for the user's answer about a model change, in the order
    // their radios arrived (the run's index among the station's runs), and those the poll
    // going on has just held.
    std::deque<std::pair<std::size_t, ModelChange>> asking_;
    std::vector<ModelChange> newlyHeld_;
    int polling_ = 0;         // the station's polls on the stack
    bool askPosted_ = false;  // the next question waits in the face's queue
    bool askOpen_ = false;    // a question is being asked or its answer carried out
    // Told to posted tasks that the window is gone.
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

}  // namespace quenfall::window
