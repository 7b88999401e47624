#include "window/shop_window.h"

#include <algorithm>
#include <exception>
#include <fstream>

#include "runs/crate_summary.h"
#include "runs/model_change.h"
#include "runs/run_record.h"
#include "package/package_loader.h"
#include "upgrade/status_texts.h"
#include "history/utc_time.h"
#include "window/shop_record.h"
#include "window/shop_row_texts.h"
#include "window/shop_texts.h"
#include "window/window_texts.h"

namespace quenfall::window {

namespace {

std::u16string LabelOf(const RadioDrive& drive) { return Utf16(drive.Location.empty() ? drive.Node : drive.Location); }

// A radio is the same radio while it stays where it is plugged in; one whose location the
// platform cannot tell is known by its node.
bool SameRadio(const RadioDrive& a, const RadioDrive& b) {
    return a.Location.empty() && b.Location.empty() ? a.Node == b.Node : a.Location == b.Location;
}

// The sequencer clears the bar right after the last block; a row sampled ten times a second
// would seldom show it full. A completed run's row keeps it full.
int BarWidth(std::string_view status, int width) { return status == UpgradeCompleteText ? ProgressFullWidth : width; }

}  // namespace

ShopWindow::ShopWindow(RadioSource& radios, ShopFace& face, HistoryRecorder& history, std::u16string applicationTitle)
    : radios_(radios), face_(face), history_(history), applicationTitle_(std::move(applicationTitle)) {}

ShopWindow::~ShopWindow() = default;

template <typename Handler>
void ShopWindow::Guarded(Handler&& handler) {
    std::u16string message;
    try {
        handler();
        return;
    } catch (const std::exception& error) {
        message = Utf16(error.what());
    } catch (...) {
        // Not an error object: shown with an empty text.
    }
    ShowDefaultError(message);
}

void ShopWindow::ShowDefaultError(std::u16string_view message) {
    // Refresh goes on firing inside the box's own message loop: one box at a time.
    if (errorBoxOpen_) return;
    errorBoxOpen_ = true;
    face_.ShowBox(BoxIcon::Error, applicationTitle_, DefaultErrorText(message));
    errorBoxOpen_ = false;
}

// ---- what the face reports -------------------------------------------------------------------

void ShopWindow::Shown() {
    if (shown_) return;
    shown_ = true;
    Guarded([this] {
        ShowTexts();
        ListRadios();
        UpdateControls();
    });
    if (startPackage_) Guarded([this] { Load(*startPackage_); });
}

void ShopWindow::Click(ShopControl control) {
    switch (control) {
    case ShopControl::SelectButton: Guarded([this] { Select(); }); break;
    case ShopControl::UpgradeAllButton: Guarded([this] { StartRuns(false); }); break;
    case ShopControl::RetryFailedButton:
        Guarded([this] {
            if (station_) {
                RetryInStation();
            } else {
                StartRuns(true);
            }
        });
        break;
    case ShopControl::StationCheck: Guarded([this] { SetStation(!stationOn_); }); break;
    case ShopControl::SaveRecordButton: Guarded([this] { SaveRecord(); }); break;
    default: break;
    }
}

bool ShopWindow::KeyDown(ShopControl focused, Key key) {
    if (key != Key::Enter) return false;
    // A focused button takes Enter as its own press, as on every desktop; elsewhere Enter
    // presses the default button.
    if (focused == ShopControl::SelectButton && !Running()) {
        Click(focused);
        return true;
    }
    if (focused == ShopControl::RetryFailedButton && MayRetryFailed()) {
        Click(focused);
        return true;
    }
    if (!MayUpgradeAll()) return false;
    Click(ShopControl::UpgradeAllButton);
    return true;
}

void ShopWindow::Refresh() {
    Guarded([this] {
        if (station_) {
            PollStation();
            return;
        }
        if (!Running()) return;
        // Once every run has ended, the rows are painted once more, with their outcomes; a
        // row is never set twice in one refresh.
        const bool allEnded =
            std::all_of(rows_.begin(), rows_.end(), [](const RowState& row) { return !row.Run || row.Run->Ended(); });
        if (allEnded) {
            RunsEnded();
            return;
        }
        std::size_t running = 0, done = 0;
        std::chrono::milliseconds left{0};
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            RowState& row = rows_[i];
            if (!row.Run) continue;
            const RunSnapshot snapshot = row.Run->Snapshot();
            ++running;
            if (snapshot.Ended) {
                ++done;
            } else {
                // The runs go on side by side: the crate is done when the slowest is.
                left = std::max(left, snapshot.Progress.Left);
            }
            ShowRunGoingOn(i, snapshot);
        }
        SetSummary(RunsGoingOnText(done, running, left));
    });
}

void ShopWindow::ShowRunGoingOn(std::size_t index, const RunSnapshot& snapshot) {
    ShopRowView view = rows_[index].Shown;
    view.Status = ShownText(snapshot.Ended ? snapshot.Status : RowStatusText(snapshot.Status, snapshot.Progress.Phase));
    // A restarted radio may be back under another name; the row follows it.
    if (!snapshot.Node.empty()) view.Node = Utf16(snapshot.Node);
    view.ProgressWidth = BarWidth(snapshot.Status, snapshot.ProgressWidth);
    view.Elapsed = RowTimeText(snapshot.Progress, snapshot.Ended, snapshot.Elapsed);
    view.Outcome = !snapshot.Ended ? RowOutcome::None : snapshot.Completed ? RowOutcome::Success : RowOutcome::Failure;
    rows_[index].Last = snapshot;
    UpdateRow(index, std::move(view));
}

void ShopWindow::ShowRunEnded(std::size_t index, const RadioOutcome& outcome, const RunSnapshot& last) {
    RowState& row = rows_[index];
    row.Outcome = outcome;
    row.CompletedWith = outcome.Completed ? package_ : nullptr;
    ShopRowView view = row.Shown;
    if (!outcome.LastNode.empty()) {
        view.Node = Utf16(outcome.LastNode);
        row.Drive.Node = outcome.LastNode;
    }
    // The records keep the English; the row shows the status texts translated.
    view.Status = ShownText(outcome.Completed ? UpgradeCompleteText : outcome.Outcome.empty() ? std::string_view(last.Status)
                                                                                              : std::string_view(outcome.Outcome));
    view.ProgressWidth = outcome.Completed ? ProgressFullWidth : last.ProgressWidth;
    RunProgress progress = last.Progress;
    if (outcome.Completed) progress.Percent = 100;
    view.Elapsed = RowTimeText(progress, true, last.Elapsed);
    view.Outcome = outcome.Completed ? RowOutcome::Success : RowOutcome::Failure;
    UpdateRow(index, std::move(view));
}

void ShopWindow::ShowRunStarting(std::size_t index) {
    RowState& row = rows_[index];
    row.Outcome.reset();
    row.Last = RunSnapshot{};
    ShopRowView view = row.Shown;
    view.Status.clear();
    view.ProgressWidth = 0;
    view.Elapsed = RowTimeText({}, false, {});
    view.Outcome = RowOutcome::None;
    UpdateRow(index, std::move(view));
}

void ShopWindow::UsbDeviceChanged() {
    // A station looks at the bus at every change: its runs follow their radios all the same.
    if (station_) {
        Guarded([this] { PollStation(); });
        return;
    }
    // During runs the rows stay as they are: each run follows its own radio through its
    // restart, and the list catches up once every run has ended.
    if (Running()) return;
    Guarded([this] {
        ListRadios();
        UpdateControls();
    });
}

bool ShopWindow::CloseQuery() {
    if (!Running()) return true;
    face_.ShowBox(BoxIcon::None, applicationTitle_, ShownText(RunsGoOnText));
    return false;
}

bool ShopWindow::Running() const {
    if (station_ && station_->Running()) return true;
    return std::any_of(rows_.begin(), rows_.end(), [](const RowState& row) { return row.Run != nullptr; });
}

// ---- the handlers ------------------------------------------------------------------------------

void ShopWindow::ShowTexts() {
    face_.SetCaption(ShownText(ShopCaption));
    face_.SetText(ShopControl::PackageEdit, u"");
    face_.SetText(ShopControl::SelectButton, ShownText(ShopSelectButtonText));
    face_.SetText(ShopControl::PackageVerdict, ShownText(NoPackageText));
    summary_.clear();
    face_.SetText(ShopControl::Summary, u"");
    face_.SetText(ShopControl::UpgradeAllButton, ShownText(UpgradeAllButtonText));
    face_.SetText(ShopControl::RetryFailedButton, ShownText(RetryFailedButtonText));
    face_.SetText(ShopControl::SaveRecordButton, ShownText(SaveRecordButtonText));
    face_.SetText(ShopControl::StationCheck, ShownText(StationCheckText));
    face_.SetChecked(ShopControl::StationCheck, stationOn_);
    face_.SetDefaultButton(ShopControl::UpgradeAllButton);
}

void ShopWindow::Select() {
    if (Running()) return;
    // Set anew for every use, with the main window's filter.
    const std::optional<ChosenFile> chosen = face_.OpenFileName(PackageFilter());
    if (chosen) Load(*chosen);
}

void ShopWindow::Load(const ChosenFile& file) {
    if (Running()) return;
    LoadResult result = LoadPackage(file.Path);
    if (result.Verdict == LoadVerdict::Unreadable) {
        // Nothing was read: the package loaded before, if any, stays.
        ShowDefaultError(Utf16(result.Message));
        return;
    }
    if (!result.Reason.empty()) {
        // No package any more; the refused file stays named beside why, and the box says
        // why too. A package with nothing to send is refused here: no run could use it.
        station_.reset();
        package_.reset();
        packageName_.clear();
        face_.SetText(ShopControl::PackageEdit, file.Text);
        face_.SetText(ShopControl::PackageVerdict, Utf16(result.ReasonText.Translated()));
        UpdateControls();
        face_.ShowBox(BoxIcon::None, applicationTitle_, Utf16(result.ReasonText.Translated()));
        return;
    }
    package_ = std::move(result.Accepted);
    const std::u8string name = file.Path.filename().u8string();
    packageName_.assign(name.begin(), name.end());
    face_.SetText(ShopControl::PackageEdit, file.Text);
    face_.SetText(ShopControl::PackageVerdict, PackageVerdictText(*package_));
    // Emulated radios take the package's model, as the main window's does.
    station_.reset();
    radios_.Adopt(*package_);
    ListRadios();
    if (stationOn_) StartStation();
    UpdateControls();
    if (MayUpgradeAll()) face_.SetFocus(ShopControl::UpgradeAllButton);
}

// A station starts its runs by itself.
bool ShopWindow::MayUpgradeAll() const { return package_ && !station_ && !rows_.empty() && !Running(); }

bool ShopWindow::MayRetryFailed() const {
    // A station retries a radio while others run: each run is the radio's own.
    if (!package_ || (!station_ && Running())) return false;
    return std::any_of(rows_.begin(), rows_.end(),
                       [](const RowState& row) { return row.Outcome && !row.Outcome->Completed; });
}

// The same package, loaded anew from the same file or from a copy, counts as this one.
bool ShopWindow::DoneWithThisPackage(const RowState& row) const {
    if (!row.CompletedWith || !package_) return false;
    return row.CompletedWith == package_ || row.CompletedWith->Image == package_->Image;
}

void ShopWindow::StartRuns(bool failedOnly) {
    if (failedOnly ? !MayRetryFailed() : !MayUpgradeAll()) return;
    bool again = true;
    if (!failedOnly) {
        const auto done = static_cast<std::size_t>(
            std::count_if(rows_.begin(), rows_.end(), [this](const RowState& row) { return DoneWithThisPackage(row); }));
        if (done != 0) {
            again = face_.AskBox(applicationTitle_, AlreadyUpgradedQuestion(done, rows_.size()));
            // The box's own loop may have let a notice change the rows meanwhile.
            if (Running()) return;
            if (!again && done == rows_.size()) return;
        }
    }
    const auto chosen = [&](const RowState& row) {
        if (failedOnly && !(row.Outcome && !row.Outcome->Completed)) return false;
        return again || !DoneWithThisPackage(row);
    };
    const std::vector<RadioOutcome> refused = AskModelChanges(chosen);
    // The boxes' own loop may have let a notice change the rows meanwhile.
    if (Running()) return;
    bool started = false;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        RowState& row = rows_[i];
        if (!chosen(row)) continue;
        const auto no = std::find_if(refused.begin(), refused.end(), [&](const RadioOutcome& answer) {
            return answer.Drive.Location == row.Drive.Location && answer.Drive.Serial == row.Drive.Serial;
        });
        if (no != refused.end()) {
            // Shown as a failed run, so that Retry asks again.
            ShopRowView view = row.Shown;
            row.Outcome = *no;
            row.CompletedWith = nullptr;
            view.Status = Utf16(no->Outcome);
            view.ProgressWidth = 0;
            view.Outcome = RowOutcome::Failure;
            UpdateRow(i, std::move(view));
            continue;
        }
        started = true;
        row.Run = std::make_unique<RadioRun>(package_, radios_.Bind(row.Drive), FlashOptions{});
        row.RanWith = package_;
        row.RanWithName = packageName_;
        ShowRunStarting(i);
    }
    UpdateControls();
    if (!started) return;
    refreshOn_ = true;
    face_.SetRefreshTimer(true);
}

// A radio whose history says it last took a package of another model code is asked about,
// one box per radio, No by default; the answer is recorded either way. Returns the answers No.
std::vector<RadioOutcome> ShopWindow::AskModelChanges(const std::function<bool(const RowState&)>& chosen) {
    std::vector<RadioDrive> scan, asked;
    for (const RowState& row : rows_) {
        scan.push_back(row.Drive);
        if (chosen(row)) asked.push_back(row.Drive);
    }
    std::vector<RadioOutcome> refused;
    for (const RadioDrive& drive : asked) {
        const std::optional<ModelChange> change = FindModelChange(history_.File(), drive, scan, *package_);
        if (!change) continue;
        const bool allowed = face_.AskBox(applicationTitle_, ModelChangeQuestion(*change));
        RadioOutcome answer = ModelChangeAnswer(*change, drive, allowed);
        history_.Record(RecordOfRun(answer, package_.get(), packageName_, radios_.Emulated(), "quenfall"));
        if (const std::string notice = history_.TakeNotice(); !notice.empty())
            face_.ShowBox(BoxIcon::None, applicationTitle_, Utf16(notice));
        if (!allowed) refused.push_back(std::move(answer));
    }
    return refused;
}

void ShopWindow::RunsEnded() {
    std::vector<RadioOutcome> outcomes;
    std::vector<std::size_t> ran;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].Run) continue;
        outcomes.push_back(rows_[i].Run->Outcome());
        ran.push_back(i);
    }
    // What the radios found wrong fails a run whose dialogue went through.
    radios_.Judge(outcomes, *package_);
    for (std::size_t k = 0; k < ran.size(); ++k) {
        RowState& row = rows_[ran[k]];
        const RunSnapshot last = row.Run->Snapshot();
        row.Run.reset();
        ShowRunEnded(ran[k], outcomes[k], last);
    }
    refreshOn_ = false;
    face_.SetRefreshTimer(false);
    const std::string notice = RecordRuns(history_, outcomes, *package_, packageName_, radios_.Emulated(), "quenfall");
    // Radios that came or went meanwhile; a radio whose run failed as it went away keeps its
    // row until the next notice, so that the failure is seen (and retried once it is back).
    ListRadios(true);
    UpdateControls();
    if (!notice.empty()) face_.ShowBox(BoxIcon::None, applicationTitle_, Utf16(notice));
}

// ---- station mode --------------------------------------------------------------------------

void ShopWindow::SetStation(bool on) {
    // The mark follows the window, whatever the face did with the click.
    if (Running()) {
        face_.SetChecked(ShopControl::StationCheck, stationOn_);
        return;
    }
    stationOn_ = on;
    face_.SetChecked(ShopControl::StationCheck, on);
    if (on && package_) {
        StartStation();
    } else if (!on && station_) {
        station_.reset();
        refreshOn_ = false;
        face_.SetRefreshTimer(false);
        ListRadios(true);
    }
    UpdateControls();
}

void ShopWindow::StartStation() {
    station_ = std::make_unique<Station>(radios_, package_);
    // A radio already upgraded with this package here is not upgraded again as the station
    // begins: the same radio twice in a row only on an explicit retry.
    for (const RowState& row : rows_)
        if (DoneWithThisPackage(row)) station_->Known(row.Drive);
    // A radio whose history says it last took another model code's package waits for the
    // user's answer, asked once the poll has returned (AskHeld).
    station_->HoldStarts([this](const RadioDrive& drive, const std::vector<RadioDrive>& scan) {
        std::optional<ModelChange> change = FindModelChange(history_.File(), drive, scan, *package_);
        if (change) newlyHeld_.push_back(std::move(*change));
        return change.has_value();
    });
    PollStation();
}

// Counts the station's polls on the stack: no question is asked inside one.
class ShopWindow::Polling {
public:
    explicit Polling(int& depth) : depth_(++depth) {}
    ~Polling() { --depth_; }
    Polling(const Polling&) = delete;
    Polling& operator=(const Polling&) = delete;

private:
    int& depth_;
};

void ShopWindow::PollStation() {
    {
        const Polling polling(polling_);
        const auto now = std::chrono::steady_clock::now();
        FollowStation(station_->Poll(now), now);
    }
    PostQuestion();
}

// Posted rather than asked: the box's own loop runs the refresh timer, and so the poll, while
// it is open. Meanwhile the other radios go on being upgraded and new ones started: a shop
// plugs radios in one after another and does not want the bench held up by one radio's
// question; a second radio that needs one waits its turn, its row saying so.
void ShopWindow::PostQuestion() {
    if (asking_.empty() || askPosted_ || askOpen_ || polling_ != 0) return;
    askPosted_ = true;
    face_.Post([this, alive = std::weak_ptr<const int>(alive_)] {
        if (alive.expired()) return;
        askPosted_ = false;
        Guarded([this] { AskHeld(); });
        PostQuestion();
    });
}

void ShopWindow::AskHeld() {
    // One question at a time; never inside a poll (the poll posts again as it returns).
    if (askOpen_ || polling_ != 0 || !station_ || asking_.empty()) return;
    const auto [run, change] = std::move(asking_.front());
    asking_.pop_front();
    struct Open {
        bool& open;
        explicit Open(bool& flag) : open(flag) { open = true; }
        ~Open() { open = false; }
    } open(askOpen_);
    const bool allowed = face_.AskBox(applicationTitle_, ModelChangeQuestion(change));
    if (!station_ || run >= station_->Runs().size()) return;
    const RadioDrive drive = station_->Runs()[run].Drive;
    RadioOutcome answer = ModelChangeAnswer(change, drive, allowed);
    history_.Record(RecordOfRun(answer, package_.get(), packageName_, radios_.Emulated(), "quenfall"));
    if (const std::string notice = history_.TakeNotice(); !notice.empty())
        face_.ShowBox(BoxIcon::None, applicationTitle_, Utf16(notice));
    // Yes starts the radio only if it is still there (the release scans again).
    const Polling polling(polling_);
    FollowStation(station_->Release(run, allowed ? std::nullopt : std::optional<RadioOutcome>(std::move(answer))),
                  std::chrono::steady_clock::now());
}

std::size_t ShopWindow::RowOfStationRun(std::size_t run, const RadioDrive& drive) {
    auto found = std::find_if(rows_.begin(), rows_.end(), [&](const RowState& row) { return SameRadio(row.Drive, drive); });
    if (found == rows_.end()) {
        RowState& row = rows_.emplace_back();
        row.Shown.Location = LabelOf(drive);
        found = rows_.end() - 1;
    }
    found->Drive = drive;
    found->Shown.Node = Utf16(drive.Node);
    found->Shown.Serial = SerialText(drive);
    found->StationRun = run;
    found->RanWith = package_;
    found->RanWithName = packageName_;
    found->GoneSince.reset();
    return static_cast<std::size_t>(found - rows_.begin());
}

void ShopWindow::FollowStation(const Station::Changes& changes, std::chrono::steady_clock::time_point now) {
    const std::vector<Station::Run>& runs = station_->Runs();
    const auto rowOfRun = [this](std::size_t run) {
        return static_cast<std::size_t>(std::find_if(rows_.begin(), rows_.end(), [&](const RowState& row) {
                                            return row.StationRun == run;
                                        }) - rows_.begin());
    };

    std::vector<RadioOutcome> ended;
    for (std::size_t run : changes.Ended) {
        const std::size_t index = rowOfRun(run);
        if (index == rows_.size()) continue;
        RowState& row = rows_[index];
        row.StationRun.reset();
        RunSnapshot last = row.Last;
        const RadioOutcome& outcome = *runs[run].Outcome;
        last.Elapsed = outcome.End - outcome.Start;
        ShowRunEnded(index, outcome, last);
        ended.push_back(outcome);
    }

    const std::size_t rowsBefore = rows_.size();
    std::vector<std::size_t> started, held;
    for (std::size_t run : changes.Started) started.push_back(RowOfStationRun(run, runs[run].Drive));
    for (std::size_t run : changes.Held) held.push_back(RowOfStationRun(run, runs[run].Drive));
    if (rows_.size() != rowsBefore) face_.SetRowCount(rows_.size());
    for (std::size_t index : started) {
        ShowRunStarting(index);
        if (index >= rowsBefore) face_.SetRow(index, rows_[index].Shown);
    }
    for (std::size_t k = 0; k < held.size() && k < newlyHeld_.size(); ++k) {
        const std::size_t index = held[k];
        ShowRunStarting(index);
        ShopRowView view = rows_[index].Shown;
        const ModelChange& change = newlyHeld_[k];
        // A station's row while the user is asked about its radio's model change.
        view.Status = Utf16(text::Fill(
            text::Tr("waiting for an answer: model change from model code {last_model} ({package}) to {model}"),
            {{"last_model", std::to_string(change.Last.ModelCode)},
             {"package", change.Last.Package},
             {"model", std::to_string(change.PackageModel)}}));
        UpdateRow(index, std::move(view));
        if (index >= rowsBefore) face_.SetRow(index, rows_[index].Shown);
        asking_.emplace_back(changes.Held[k], std::move(newlyHeld_[k]));
    }
    newlyHeld_.clear();

    // A row whose run has ended stays while its radio is there, and a while after it has
    // left: as long as the rule would take it back as the same radio.
    const std::vector<RadioDrive>& scan = station_->LastScan();
    std::vector<RowState> kept;
    bool dropped = false;
    for (RowState& row : rows_) {
        const bool there = std::any_of(scan.begin(), scan.end(), [&](const RadioDrive& d) { return SameRadio(d, row.Drive); });
        if (row.StationRun || there) {
            row.GoneSince.reset();
        } else if (!row.GoneSince) {
            row.GoneSince = now;
        }
        // Waiting for a retry keeps it for its return.
        const bool waiting = row.Outcome && !row.Outcome->Completed && std::any_of(
            station_->Rule().Radios().begin(), station_->Rule().Radios().end(), [&](const StationRule::Radio& r) {
                return r.Location == StationLocation(row.Drive) && r.Now == StationRule::State::Waiting;
            });
        if (row.GoneSince && !waiting && now - *row.GoneSince > StationRestartWait) {
            dropped = true;
            continue;
        }
        kept.push_back(std::move(row));
    }
    if (dropped) {
        rows_ = std::move(kept);
        face_.SetRowCount(rows_.size());
        for (std::size_t i = 0; i < rows_.size(); ++i) face_.SetRow(i, rows_[i].Shown);
    } else {
        rows_ = std::move(kept);
    }

    std::size_t going = 0;
    std::vector<std::string> goingAt;
    std::chrono::milliseconds left{0};
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].StationRun) continue;
        const RadioRun* run = runs[*rows_[i].StationRun].Going.get();
        if (!run) continue;
        const RunSnapshot snapshot = run->Snapshot();
        ++going;
        goingAt.push_back(StationLocation(rows_[i].Drive));
        left = std::max(left, snapshot.Progress.Left);
        ShowRunGoingOn(i, snapshot);
    }
    // Radio by radio since the station began, rows gone included; a retried radio counts
    // by its last run.
    std::vector<std::pair<std::string, bool>> lastOutcomes;
    for (const Station::Run& run : runs) {
        const std::string location = StationLocation(run.Drive);
        if (!run.Outcome || std::find(goingAt.begin(), goingAt.end(), location) != goingAt.end()) continue;
        const auto known = std::find_if(lastOutcomes.begin(), lastOutcomes.end(),
                                        [&](const auto& radio) { return radio.first == location; });
        if (known == lastOutcomes.end()) {
            lastOutcomes.emplace_back(location, run.Outcome->Completed);
        } else {
            known->second = run.Outcome->Completed;
        }
    }
    const auto completed = static_cast<std::size_t>(
        std::count_if(lastOutcomes.begin(), lastOutcomes.end(), [](const auto& radio) { return radio.second; }));
    const std::size_t outcomes = lastOutcomes.size();
    SetSummary(going != 0 ? RunsGoingOnText(outcomes, outcomes + going, left)
                          : outcomes != 0 ? Utf16(UpgradedSummary(completed, outcomes)) : u"");

    // Ticks only while something is to happen: runs, rows to take away, emulated radios due.
    const bool pending = going != 0 || radios_.NextChange().has_value() ||
                         std::any_of(rows_.begin(), rows_.end(), [](const RowState& row) { return row.GoneSince.has_value(); });
    if (pending != refreshOn_) {
        refreshOn_ = pending;
        face_.SetRefreshTimer(pending);
    }
    if (!changes.Started.empty() || !changes.Ended.empty() || !changes.Held.empty() || dropped) UpdateControls();
    if (ended.empty()) return;
    const std::string notice = RecordRuns(history_, ended, *package_, packageName_, radios_.Emulated(), "quenfall");
    if (!notice.empty()) face_.ShowBox(BoxIcon::None, applicationTitle_, Utf16(notice));
}

void ShopWindow::RetryInStation() {
    if (!MayRetryFailed()) return;
    for (RowState& row : rows_) {
        if (row.StationRun || !row.Outcome || row.Outcome->Completed) continue;
        station_->Retry(StationLocation(row.Drive));
    }
    PollStation();
}

// ---- the record -------------------------------------------------------------------------

std::u16string ShopWindow::SerialText(const RadioDrive& drive) const {
    if (drive.Serial.empty()) return {};
    return Utf16(drive.Serial) + (radios_.Emulated() ? ShownText(EmulatedSerialMark) : std::u16string());
}

void ShopWindow::SaveRecord() {
    if (rows_.empty()) return;
    const std::optional<ChosenFile> chosen = face_.SaveFileName(RecordFilter(), RecordFileName);
    if (!chosen) return;
    std::vector<ShopRecordRow> record;
    for (const RowState& row : rows_) {
        ShopRecordRow& line = record.emplace_back();
        line.Location = StationLocation(row.Drive);
        line.Serial = row.Drive.Serial;
        line.Emulated = radios_.Emulated();
        line.Node = Utf8(row.Shown.Node);
        if (row.RanWith) {
            line.Package = row.RanWithName;
            line.Sha256 = row.RanWith->Sha256;
        }
        if (row.Run || row.StationRun) {
            line.Outcome = "running";
        } else if (row.Outcome) {
            line.Outcome = row.Outcome->Outcome;
            line.TimeTaken = std::chrono::duration_cast<std::chrono::milliseconds>(row.Outcome->End - row.Outcome->Start);
            line.Start = UtcTimestamp(row.Outcome->Start);
        }
    }
    std::ofstream out(chosen->Path, std::ios::binary | std::ios::trunc);
    out << ShopRecordCsv(record);
    out.close();
    if (!out) {
        ShowDefaultError(Utf16(text::Fill(text::Tr("The record cannot be written to {file}"), {{"file", Utf8(chosen->Text)}})));
    }
}

void ShopWindow::ListRadios(bool keepFailed) {
    const std::vector<RadioDrive> drives = radios_.Drives();
    std::vector<ShopRowView> before;
    for (const RowState& row : rows_) before.push_back(row.Shown);

    // Radios that left disappear; those still there keep their order and how their last
    // run went; arrivals come last.
    std::vector<RowState> rows;
    for (RowState& row : rows_) {
        const auto found =
            std::find_if(drives.begin(), drives.end(), [&](const RadioDrive& d) { return SameRadio(d, row.Drive); });
        if (found == drives.end()) {
            if (keepFailed && row.Outcome && !row.Outcome->Completed) rows.push_back(std::move(row));
            continue;
        }
        row.Drive = *found;
        row.Shown.Node = Utf16(found->Node);
        row.Shown.Serial = SerialText(*found);
        rows.push_back(std::move(row));
    }
    for (const RadioDrive& drive : drives) {
        const bool listed =
            std::any_of(rows.begin(), rows.end(), [&](const RowState& row) { return SameRadio(row.Drive, drive); });
        if (listed) continue;
        RowState& row = rows.emplace_back();
        row.Drive = drive;
        row.Shown.Location = LabelOf(drive);
        row.Shown.Serial = SerialText(drive);
        row.Shown.Node = Utf16(drive.Node);
        row.Shown.Status = ShownText(DeviceConnectedText);
    }
    rows_ = std::move(rows);

    if (rows_.size() != before.size()) face_.SetRowCount(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (i >= before.size() || before[i] != rows_[i].Shown) face_.SetRow(i, rows_[i].Shown);
    }
}

void ShopWindow::UpdateRow(std::size_t index, ShopRowView view) {
    if (view == rows_[index].Shown) return;
    rows_[index].Shown = std::move(view);
    face_.SetRow(index, rows_[index].Shown);
}

void ShopWindow::UpdateControls() {
    const bool running = Running();
    face_.SetEnabled(ShopControl::SelectButton, !running);
    // Turned on or off between runs: a run never changes hands between the two modes.
    face_.SetEnabled(ShopControl::StationCheck, !running);
    face_.SetEnabled(ShopControl::UpgradeAllButton, MayUpgradeAll());
    face_.SetEnabled(ShopControl::RetryFailedButton, MayRetryFailed());
    face_.SetEnabled(ShopControl::SaveRecordButton, !rows_.empty());
    std::size_t completed = 0;
    bool anyOutcome = false;
    for (const RowState& row : rows_) {
        if (!row.Outcome) continue;
        anyOutcome = true;
        if (row.Outcome->Completed) ++completed;
    }
    if (running || station_) return;  // Refresh tells how the runs go
    SetSummary(anyOutcome ? Utf16(UpgradedSummary(completed, rows_.size())) : u"");
}

void ShopWindow::SetSummary(std::u16string text) {
    if (text == summary_) return;
    summary_ = std::move(text);
    face_.SetText(ShopControl::Summary, summary_);
}

}  // namespace quenfall::window
