#include "cli/crate_display.h"

#include <algorithm>
#include <ostream>

#include "cli/progress_line.h"
#include "cli/terminal_view.h"
#include "text/translation.h"
#include "upgrade/upgrade_sequencer.h"

namespace quenfall::cli {

namespace {
// A row moving on every block is redrawn at most this often; a change of phase at once.
constexpr auto RowRedrawSpacing = std::chrono::milliseconds(100);
}  // namespace

CrateDisplay::CrateDisplay(std::ostream& out, std::ostream& err, bool terminal, std::vector<std::string> labels,
                           Columns columns)
    : out_(out), err_(err), terminal_(terminal), columns_(std::move(columns)) {
    for (std::string& label : labels) {
        labelWidth_ = std::max(labelWidth_, label.size());
        Row& row = rows_.emplace_back();
        row.Label = std::move(label);
    }
    if (!terminal_) return;
    drawnColumns_ = Width();
    for (const Row& row : rows_) out_ << RowText(row, drawnColumns_) << '\n';
    out_.flush();
}

CrateDisplay::CrateDisplay(std::ostream& out, std::ostream& err, bool terminal, std::vector<std::string> labels,
                           std::size_t columns)
    : CrateDisplay(out, err, terminal, std::move(labels), Columns([columns] { return columns; })) {}

std::size_t CrateDisplay::Width() const {
    const std::size_t columns = columns_ ? columns_() : 0;
    return columns > 0 ? std::max<std::size_t>(columns, 20) : DefaultColumns;
}

std::string CrateDisplay::RowText(const Row& row, std::size_t columns) const {
    std::string text = row.Label;
    text.resize(labelWidth_ + 2, ' ');
    RunProgress progress = row.Progress;
    if (!row.Told) progress.Percent = std::clamp(row.Width, 0, ProgressFullWidth) * 100 / ProgressFullWidth;
    const bool going = row.Told && progress.Phase != RunPhase::Ended && progress.Phase != RunPhase::Idle;
    const std::string tail = text::Tr(going ? PhaseText(progress.Phase) : std::string_view(row.Status));
    const std::size_t rest = columns > text.size() ? columns - text.size() : 1;
    text += ProgressLine(progress, tail, rest);
    return FitToWidth(text, columns);
}

void CrateDisplay::Redraw(std::size_t row) {
    const std::size_t columns = Width();
    if (columns != drawnColumns_) {
        // Resized: every row again, at the new width.
        drawnColumns_ = columns;
        out_ << "\x1b[" << rows_.size() << "A";
        for (Row& r : rows_) {
            out_ << "\r\x1b[2K" << RowText(r, columns) << '\n';
            r.DrawnAt = Clock::now();
        }
        out_.flush();
        return;
    }
    // The cursor rests on the line under the last row.
    const std::size_t up = rows_.size() - row;
    out_ << "\x1b[" << up << "A\r\x1b[2K" << RowText(rows_[row], columns) << "\x1b[" << up << "B\r";
    out_.flush();
    rows_[row].DrawnAt = Clock::now();
}

void CrateDisplay::Status(std::size_t row, std::string_view text) {
    const std::lock_guard lock(lock_);
    Row& r = rows_.at(row);
    if (r.Status == text) return;
    r.Status.assign(text);
    if (terminal_ && !finished_) {
        Redraw(row);
    } else {
        out_ << r.Label << ": " << text::Tr(r.Status) << '\n';
        out_.flush();
    }
}

void CrateDisplay::Progress(std::size_t row, int pixels) {
    const std::lock_guard lock(lock_);
    Row& r = rows_.at(row);
    const int percentBefore = r.Width * 100 / ProgressFullWidth;
    r.Width = std::max(pixels, 0);
    if (pixels <= 0) r.LastTenth = 0;
    if (terminal_ && !finished_) {
        // Rows told the run's progress draw that; the bar's width alone serves the others.
        if (!r.Told && r.Width * 100 / ProgressFullWidth != percentBefore) Redraw(row);
        return;
    }
    const int tenth = r.Width * 10 / ProgressFullWidth;
    if (tenth > r.LastTenth) {
        r.LastTenth = tenth;
        out_ << r.Label << ": "
             << text::Fill(text::Tr("Progress: {percent}%"), {{"percent", std::to_string(r.Width * 100 / ProgressFullWidth)}})
             << '\n';
        out_.flush();
    }
}

void CrateDisplay::Advance(std::size_t row, const RunProgress& progress) {
    const std::lock_guard lock(lock_);
    Row& r = rows_.at(row);
    const bool phaseChanged = !r.Told || r.Progress.Phase != progress.Phase;
    r.Told = true;
    r.Progress = progress;
    if (!terminal_ || finished_) return;
    if (phaseChanged || Clock::now() - r.DrawnAt >= RowRedrawSpacing || Width() != drawnColumns_) Redraw(row);
}

void CrateDisplay::Message(std::size_t row, std::string_view text) {
    const std::lock_guard lock(lock_);
    if (terminal_ && !finished_) {
        const std::string shown = text::Tr(text);
        if (std::find(messages_.begin(), messages_.end(), shown) == messages_.end()) messages_.push_back(shown);
        return;
    }
    out_ << rows_.at(row).Label << ": " << text::Tr(text) << '\n';
    out_.flush();
}

void CrateDisplay::Error(std::size_t row, std::string_view text, std::string_view caption) {
    const std::lock_guard lock(lock_);
    Row& r = rows_.at(row);
    if (terminal_ && !finished_) {
        r.Status = BoxLine(caption, text);
        Redraw(row);
        return;
    }
    out_.flush();
    err_ << r.Label << ": " << BoxLine(caption, text) << '\n';
    err_.flush();
}

void CrateDisplay::Finish() {
    const std::lock_guard lock(lock_);
    if (finished_) return;
    if (terminal_) {
        // Every row as it ended, whatever the spacing held back.
        const std::size_t columns = Width();
        drawnColumns_ = columns;
        out_ << "\x1b[" << rows_.size() << "A";
        for (const Row& r : rows_) out_ << "\r\x1b[2K" << RowText(r, columns) << '\n';
        for (const std::string& m : messages_)
            for (const std::string& line : WrapToWidth(m, columns)) out_ << line << '\n';
    } else {
        for (const std::string& m : messages_) out_ << m << '\n';
    }
    finished_ = true;
    out_.flush();
}

}  // namespace quenfall::cli
