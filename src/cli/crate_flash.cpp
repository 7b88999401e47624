#include "cli/crate_flash.h"

namespace quenfall::cli {

namespace {

// One radio's row of the display, as the listener of its run.
class RowListener final : public RunListener {
public:
    RowListener(CrateDisplay& display, std::size_t row) : display_(display), row_(row) {}
    void Status(std::string_view text) override { display_.Status(row_, text); }
    void Progress(int pixels) override { display_.Progress(row_, pixels); }
    void Message(std::string_view text) override { display_.Message(row_, text); }
    void Error(std::string_view text, std::string_view caption) override { display_.Error(row_, text, caption); }
    void RunProgressChanged(const RunProgress& progress) override { display_.Advance(row_, progress); }

private:
    CrateDisplay& display_;
    std::size_t row_;
};

}  // namespace

std::vector<RadioOutcome> FlashCrate(const std::shared_ptr<const Package>& package,
                                     std::vector<CrateRadio>& radios, CrateDisplay& display,
                                     const FlashOptions& options, RunEvents* events) {
    std::vector<RowListener> rows;
    rows.reserve(radios.size());
    std::vector<RunEventsListener> told;
    told.reserve(radios.size());
    std::vector<RunListener*> listeners;
    for (std::size_t i = 0; i < radios.size(); ++i) {
        RunListener* row = &rows.emplace_back(display, i);
        if (events) row = &told.emplace_back(*events, radios[i].Drive.Location, radios[i].Drive.Serial, row);
        listeners.push_back(row);
    }
    std::vector<RadioOutcome> outcomes = RunCrate(package, std::move(radios), listeners, options);
    radios.clear();
    display.Finish();
    return outcomes;
}

}  // namespace quenfall::cli
