#include "cli/terminal_view.h"

#include <algorithm>
#include <ostream>
#include <thread>

#include "cli/progress_line.h"
#include "text/translation.h"
#include "upgrade/status_texts.h"
#include "upgrade/upgrade_sequencer.h"

namespace quenfall::cli {

namespace {
constexpr int BarCells = 40;
// A line moving on every block is redrawn at most this often; a change of phase at once.
constexpr auto RedrawSpacing = std::chrono::milliseconds(100);
}  // namespace

std::string BoxLine(std::string_view caption, std::string_view text) {
    // Translators: a message box's caption ("Error") and its text, as one line of a terminal.
    return text::Fill(text::Tr("{caption}: {message}"), {{"caption", text::Tr(caption)}, {"message", text::Tr(text)}});
}

TerminalView::TerminalView(std::ostream& out, std::ostream& err, bool terminal, Columns columns)
    : out_(out), err_(err), terminal_(terminal), columns_(std::move(columns)) {}

void TerminalView::SetStatusText(std::string_view text) {
    if (text == UpgradeCompleteText) {
        completed_ = true;
    } else if (text == CommunicationErrorText || text == UpgradeFailedText) {
        completed_ = false;
    }
    if (statusSet_ && text == status_) return;
    statusSet_ = true;
    status_.assign(text);
    if (listener_) listener_->Status(status_);
    ClearBar();
    out_ << text::Tr(status_) << '\n';
    if (width_ > 0 || (told_ && progress_.Phase != RunPhase::Ended)) DrawBar();
    out_.flush();
}

void TerminalView::SetProgressWidth(int pixels) {
    if (pixels == width_) return;
    width_ = pixels;
    if (pixels <= 0) {
        ClearBar();
        lastTenth_ = 0;
        out_.flush();
        return;
    }
    if (terminal_) {
        if (!told_) DrawBar();
    } else {
        const int tenth = pixels * 10 / ProgressFullWidth;
        if (tenth > lastTenth_) {
            lastTenth_ = tenth;
            out_ << text::Fill(text::Tr("Progress: {percent}%"), {{"percent", std::to_string(pixels * 100 / ProgressFullWidth)}})
                 << '\n';
        }
    }
    out_.flush();
}

void TerminalView::SetSuccessIconVisible(bool) {}
void TerminalView::SetFailureIconVisible(bool) {}

void TerminalView::ShowInfo(std::string_view text) {
    if (listener_) listener_->Message(text);
    ClearBar();
    out_ << text::Tr(text) << '\n';
    out_.flush();
}

void TerminalView::ShowError(std::string_view text, std::string_view caption) {
    errorShown_ = true;
    error_.assign(text);
    if (listener_) listener_->Error(text, caption);
    ClearBar();
    out_.flush();
    err_ << BoxLine(caption, text) << '\n';
    err_.flush();
}

void TerminalView::RunProgressChanged(const RunProgress& progress) {
    const bool phaseChanged = !told_ || progress.Phase != progress_.Phase;
    told_ = true;
    progress_ = progress;
    if (listener_) listener_->RunProgressChanged(progress);
    if (!terminal_) return;
    if (progress.Phase == RunPhase::Ended) {
        ClearBar();
    } else if (phaseChanged || std::chrono::steady_clock::now() - drawnAt_ >= RedrawSpacing) {
        DrawBar();
    }
    out_.flush();
}

void TerminalView::Pause(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

void TerminalView::Finish() {
    ClearBar();
    out_.flush();
}

void TerminalView::ClearBar() {
    if (!barShown_) return;
    out_ << '\r' << std::string(told_ ? drawn_ : BarCells + 12, ' ') << '\r';
    barShown_ = false;
}

void TerminalView::DrawBar() {
    if (!terminal_) return;
    if (told_) {
        const std::size_t columns = columns_ ? columns_() : 0;
        const std::string line =
            ProgressLine(progress_, text::Tr(PhaseText(progress_.Phase)), columns > 0 ? columns : DefaultColumns);
        const std::size_t lineColumns = ColumnsOf(line);
        // Blanks over what a longer line before left.
        out_ << '\r' << line << std::string(drawn_ > lineColumns && barShown_ ? drawn_ - lineColumns : 0, ' ');
        if (barShown_ && drawn_ > lineColumns) out_ << '\r' << line;
        drawn_ = lineColumns;
        barShown_ = true;
        drawnAt_ = std::chrono::steady_clock::now();
        return;
    }
    const int filled = std::min(width_, ProgressFullWidth) * BarCells / ProgressFullWidth;
    out_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(BarCells - filled), '.') << "] "
         << width_ * 100 / ProgressFullWidth << '%';
    barShown_ = true;
}

void TerminalView::Note(std::string_view line) {
    ClearBar();
    out_ << line << '\n';
    out_.flush();
}

}  // namespace quenfall::cli
