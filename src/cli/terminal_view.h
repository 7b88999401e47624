#pragma once
// The upgrade's view on a terminal: every new status-line text on its own line, exactly as
// the window shows it; under them, on a terminal, one line drawn in place with the bar, the
// percentage, the blocks, the time left and what the run is doing, never wider than the
// terminal; into a file or a pipe, a line at every tenth of the way; the boxes' texts as
// lines.
#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>

#include "runs/flash_view.h"
#include "runs/radio_run.h"

namespace quenfall::cli {

// A box's caption and text as one line, in the user's language ("Error: ...").
std::string BoxLine(std::string_view caption, std::string_view text);

class TerminalView : public FlashView {
public:
    using Columns = std::function<std::size_t()>;  // the terminal's width now; 0: unknown
    TerminalView(std::ostream& out, std::ostream& err, bool terminal, Columns columns = {});

    void SetStatusText(std::string_view text) override;
    void SetProgressWidth(int pixels) override;
    void SetSuccessIconVisible(bool visible) override;
    void SetFailureIconVisible(bool visible) override;
    void ShowInfo(std::string_view text) override;
    void ShowError(std::string_view text, std::string_view caption) override;
    void Pause(std::chrono::milliseconds duration) override;
    void RunProgressChanged(const RunProgress& progress) override;

    // Each change is told to listener too (the events of --events); null for none.
    void Tell(RunListener* listener) { listener_ = listener; }

    const std::string& StatusText() const { return status_; }
    bool Completed() const override { return completed_; }
    bool ErrorShown() const { return errorShown_; }
    const std::string& ErrorText() const { return error_; }  // the last box's text
    // Ends the bar's line so that what follows starts on a line of its own.
    void Finish() override;
    // One more line of output, after what the run showed.
    void Note(std::string_view line);

private:
    void ClearBar();
    void DrawBar();

    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    std::string status_;
    bool statusSet_ = false;
    bool completed_ = false;
    bool errorShown_ = false;
    std::string error_;
    int width_ = 0;
    int lastTenth_ = 0;
    bool barShown_ = false;
    std::size_t drawn_ = 0;  // characters of the line drawn last
    Columns columns_;
    bool told_ = false;      // a RunProgress came: the line shows it
    RunProgress progress_;
    std::chrono::steady_clock::time_point drawnAt_{};
    RunListener* listener_ = nullptr;
};

}  // namespace quenfall::cli
