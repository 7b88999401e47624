#include "cli/crate_display.h"

#include <algorithm>
#include <ostream>

#include "upgrade/upgrade_sequencer.h"

namespace quenfall::cli {

namespace {
constexpr int RowBarCells = 20;
}

CrateDisplay::CrateDisplay(std::ostream& out, std::ostream& err, bool terminal,
                           std::vector<std::string> labels, std::size_t columns)
    : out_(out), err_(err), terminal_(terminal), columns_(std::max<std::size_t>(columns, 20)) {
    for (std::string& label : labels) {
        labelWidth_ = std::max(labelWidth_, label.size());
        rows_.push_back({std::move(label), {}, 0, 0});
    }
    if (!terminal_) return;
    for (const Row& row : rows_) out_ << RowText(row) << '\n';
    out_.flush();
}

std::string CrateDisplay::RowText(const Row& row) const {
    std::string text = row.Label;
    text.resize(labelWidth_ + 2, ' ');
    const int width = std::clamp(row.Width, 0, ProgressFullWidth);
    const int filled = width * RowBarCells / ProgressFullWidth;
    text += '[';
    text.append(static_cast<std::size_t>(filled), '#');
    text.append(static_cast<std::size_t>(RowBarCells - filled), '.');
    text += "] ";
    std::string percent = std::to_string(width * 100 / ProgressFullWidth) + "%";
    percent.insert(percent.begin(), 4 - std::min<std::size_t>(percent.size(), 4), ' ');
    text += percent + " " + row.Status;
    if (text.size() >= columns_) text.resize(columns_ - 1);
    return text;
}

void CrateDisplay::Redraw(std::size_t row) {
    // The cursor rests on the line under the last row.
    const std::size_t up = rows_.size() - row;
    out_ << "\x1b[" << up << "A\r\x1b[2K" << RowText(rows_[row]) << "\x1b[" << up << "B\r";
    out_.flush();
}

void CrateDisplay::Status(std::size_t row, std::string_view text) {
    const std::lock_guard lock(lock_);
    Row& r = rows_.at(row);
    if (r.Status == text) return;
    r.Status.assign(text);
    if (terminal_ && !finished_) {
        Redraw(row);
    } else {
        out_ << r.Label << ": " << r.Status << '\n';
        out_.flush();
    }
}

void CrateDisplay::Progress(std::size_t row, int pixels) {
    const std::lock_guard lock(lock_);
    Row& r = rows_.at(row);
    const int before = r.Width * RowBarCells / ProgressFullWidth;
    const int percentBefore = r.Width * 100 / ProgressFullWidth;
    r.Width = std::max(pixels, 0);
    if (pixels <= 0) r.LastTenth = 0;
    if (terminal_ && !finished_) {
        // Redraw only when what the row shows changes.
        if (r.Width * RowBarCells / ProgressFullWidth != before || r.Width * 100 / ProgressFullWidth != percentBefore)
            Redraw(row);
        return;
    }
    const int tenth = r.Width * 10 / ProgressFullWidth;
    if (tenth > r.LastTenth) {
        r.LastTenth = tenth;
        out_ << r.Label << ": Progress: " << r.Width * 100 / ProgressFullWidth << "%\n";
        out_.flush();
    }
}

void CrateDisplay::Message(std::size_t row, std::string_view text) {
    const std::lock_guard lock(lock_);
    if (terminal_ && !finished_) {
        if (std::find(messages_.begin(), messages_.end(), text) == messages_.end()) messages_.emplace_back(text);
        return;
    }
    out_ << rows_.at(row).Label << ": " << text << '\n';
    out_.flush();
}

void CrateDisplay::Error(std::size_t row, std::string_view text, std::string_view caption) {
    const std::lock_guard lock(lock_);
    Row& r = rows_.at(row);
    if (terminal_ && !finished_) {
        r.Status = std::string(caption) + ": " + std::string(text);
        Redraw(row);
        return;
    }
    out_.flush();
    err_ << r.Label << ": " << caption << ": " << text << '\n';
    err_.flush();
}

void CrateDisplay::Finish() {
    const std::lock_guard lock(lock_);
    if (finished_) return;
    finished_ = true;
    for (const std::string& m : messages_) out_ << m << '\n';
    out_.flush();
}

}  // namespace quenfall::cli
