#include "cli/crate_flash.h"

#include <thread>

#include "upgrade/run_tally.h"
#include "upgrade/status_texts.h"

namespace quenfall::cli {

namespace {

// One radio's row, as the view of its run.
class RadioRunView final : public FlashView {
public:
    RadioRunView(CrateDisplay& display, std::size_t row) : display_(display), row_(row) {}

    void SetStatusText(std::string_view text) override {
        if (text == UpgradeCompleteText) {
            completed_ = true;
        } else if (text == CommunicationErrorText || text == UpgradeFailedText) {
            completed_ = false;
        }
        // As the status line shows them: the same text set again is no new line.
        if (!texts_.empty() && texts_.back() == text) return;
        texts_.emplace_back(text);
        display_.Status(row_, text);
    }
    void SetProgressWidth(int pixels) override { display_.Progress(row_, pixels); }
    void SetSuccessIconVisible(bool) override {}
    void SetFailureIconVisible(bool) override {}
    void ShowInfo(std::string_view text) override { display_.Message(row_, text); }
    void ShowError(std::string_view text, std::string_view caption) override {
        error_.assign(text);
        display_.Error(row_, text, caption);
    }
    void Pause(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
    bool Completed() const override { return completed_; }
    void Finish() override {}

    const std::vector<std::string>& Texts() const { return texts_; }
    const std::string& Error() const { return error_; }

private:
    CrateDisplay& display_;
    std::size_t row_;
    bool completed_ = false;
    std::vector<std::string> texts_;
    std::string error_;
};

void RunOne(const std::shared_ptr<const Package>& package, CrateRadio& radio, CrateDisplay& display,
            std::size_t row, const FlashOptions& shared, DialogueTrace* trace, RadioOutcome& outcome) {
    RadioRunView view(display, row);
    RunTally counter(trace);
    FlashOptions options = shared;
    options.Trace = &counter;
    options.TakeUsbEvents = radio.TakeUsbEvents;

    outcome.Drive = radio.Drive;
    outcome.Start = std::chrono::system_clock::now();
    const int status = FlashPackage(package, *radio.Link, view, options);
    outcome.End = std::chrono::system_clock::now();

    outcome.Completed = status == 0;
    outcome.StatusTexts = view.Texts();
    outcome.BlocksSent = counter.Blocks();
    outcome.FramesSent = counter.Frames();
    outcome.LastCommandProblem = counter.LastNonGood();
    outcome.LastNode = radio.Link->LastNode();
    if (outcome.Completed) {
        outcome.Outcome = UpgradeCompleteText;
    } else if (!view.Error().empty()) {
        outcome.Outcome = view.Error();
    } else if (!view.Texts().empty()) {
        outcome.Outcome = view.Texts().back();
    }
}

}  // namespace

std::vector<RadioOutcome> FlashCrate(const std::shared_ptr<const Package>& package,
                                     std::vector<CrateRadio>& radios, CrateDisplay& display,
                                     const FlashOptions& options) {
    std::vector<RadioOutcome> outcomes(radios.size());
    DialogueTrace* trace = radios.size() == 1 ? options.Trace : nullptr;
    std::vector<std::jthread> runs;
    runs.reserve(radios.size());
    for (std::size_t i = 0; i < radios.size(); ++i) {
        runs.emplace_back([&, i] { RunOne(package, radios[i], display, i, options, trace, outcomes[i]); });
    }
    runs.clear();  // joins every run
    display.Finish();
    return outcomes;
}

}  // namespace quenfall::cli
