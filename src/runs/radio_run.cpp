#include "runs/radio_run.h"

#include "upgrade/run_tally.h"
#include "upgrade/status_texts.h"

namespace quenfall {

// The run's view: keeps the run's state for Snapshot and tells the listener.
class RadioRun::View final : public FlashView {
public:
    explicit View(RadioRun& run) : run_(run) {}

    void SetStatusText(std::string_view text) override {
        if (text == UpgradeCompleteText) {
            completed_ = true;
        } else if (text == CommunicationErrorText || text == UpgradeFailedText) {
            completed_ = false;
        }
        // As the status line shows them: the same text set again is no new line.
        if (!texts_.empty() && texts_.back() == text) return;
        texts_.emplace_back(text);
        {
            const std::lock_guard hold(run_.lock_);
            run_.state_.Status.assign(text);
            KeepNode();
        }
        if (run_.listener_) run_.listener_->Status(text);
    }
    void SetProgressWidth(int pixels) override {
        {
            const std::lock_guard hold(run_.lock_);
            run_.state_.ProgressWidth = pixels;
            KeepNode();
        }
        if (run_.listener_) run_.listener_->Progress(pixels);
    }
    void SetSuccessIconVisible(bool) override {}
    void SetFailureIconVisible(bool) override {}
    void ShowInfo(std::string_view text) override {
        if (run_.listener_) run_.listener_->Message(text);
    }
    void ShowError(std::string_view text, std::string_view caption) override {
        error_.assign(text);
        if (run_.listener_) run_.listener_->Error(text, caption);
    }
    void Pause(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
    bool Completed() const override { return completed_; }
    void Finish() override {}
    void RunProgressChanged(const RunProgress& progress) override {
        {
            const std::lock_guard hold(run_.lock_);
            run_.state_.Progress = progress;
        }
        if (run_.listener_) run_.listener_->RunProgressChanged(progress);
    }

    const std::vector<std::string>& Texts() const { return texts_; }
    const std::string& Error() const { return error_; }

private:
    // The radio may have come back under another name since: the scans of the run's own
    // link, on this thread, found it there. Under the run's lock.
    void KeepNode() {
        const std::string& node = run_.radio_.Link->LastNode();
        if (run_.state_.Node != node) run_.state_.Node = node;
    }

    RadioRun& run_;
    bool completed_ = false;
    std::vector<std::string> texts_;
    std::string error_;
};

RadioRun::RadioRun(std::shared_ptr<const Package> package, CrateRadio radio, FlashOptions options,
                   RunListener* listener)
    : radio_(std::move(radio)), listener_(listener), started_(std::chrono::steady_clock::now()) {
    state_.Node = radio_.Drive.Node;
    thread_ = std::thread([this, package = std::move(package), options = std::move(options)]() mutable {
        Run(std::move(package), std::move(options));
    });
}

RadioRun::~RadioRun() {
    if (thread_.joinable()) thread_.join();
}

void RadioRun::Run(std::shared_ptr<const Package> package, FlashOptions options) {
    View view(*this);
    RunTally counter(options.Trace);
    options.Trace = &counter;
    if (radio_.TakeUsbEvents) options.TakeUsbEvents = radio_.TakeUsbEvents;

    RadioOutcome outcome;
    outcome.Drive = radio_.Drive;
    outcome.Start = std::chrono::system_clock::now();
    bool stopped = false;
    options.Stopped = &stopped;
    const int status = FlashPackage(std::move(package), *radio_.Link, view, options);
    outcome.End = std::chrono::system_clock::now();

    outcome.Completed = status == 0;
    outcome.StatusTexts = view.Texts();
    outcome.BlocksSent = counter.Blocks();
    outcome.FramesSent = counter.Frames();
    outcome.LastCommandProblem = counter.LastNonGood();
    outcome.LastNode = radio_.Link->LastNode();
    if (outcome.Completed) {
        outcome.Outcome = UpgradeCompleteText;
    } else if (stopped) {
        outcome.Outcome = InterruptedOutcome;
    } else if (!view.Error().empty()) {
        outcome.Outcome = view.Error();
    } else if (!view.Texts().empty()) {
        outcome.Outcome = view.Texts().back();
    }

    const std::lock_guard hold(lock_);
    outcome_ = std::move(outcome);
    ended_ = std::chrono::steady_clock::now();
    state_.Ended = true;
    state_.Completed = outcome_.Completed;
    state_.Node = outcome_.LastNode;
    if (!outcome_.Completed && !view.Error().empty()) state_.Status = view.Error();
    if (stopped) state_.Status = InterruptedOutcome;
}

RunSnapshot RadioRun::Snapshot() const {
    const std::lock_guard hold(lock_);
    RunSnapshot snapshot = state_;
    snapshot.Elapsed = (state_.Ended ? ended_ : std::chrono::steady_clock::now()) - started_;
    return snapshot;
}

bool RadioRun::Ended() const {
    const std::lock_guard hold(lock_);
    return state_.Ended;
}

const RadioOutcome& RadioRun::Outcome() {
    if (thread_.joinable()) thread_.join();
    return outcome_;
}

std::vector<RadioOutcome> RunCrate(const std::shared_ptr<const Package>& package,
                                   std::vector<CrateRadio> radios, const std::vector<RunListener*>& listeners,
                                   const FlashOptions& options) {
    FlashOptions shared = options;
    if (radios.size() != 1) shared.Trace = nullptr;
    std::vector<std::unique_ptr<RadioRun>> runs;
    runs.reserve(radios.size());
    for (std::size_t i = 0; i < radios.size(); ++i) {
        runs.push_back(std::make_unique<RadioRun>(package, std::move(radios[i]), shared,
                                                  listeners.empty() ? nullptr : listeners[i]));
    }
    std::vector<RadioOutcome> outcomes;
    outcomes.reserve(runs.size());
    for (auto& run : runs) outcomes.push_back(run->Outcome());
    return outcomes;
}

}  // namespace quenfall
