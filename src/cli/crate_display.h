#pragma once
// The progress of several runs at once, one row per radio, each labelled by the radio's
// location. On a terminal the rows stay in place and a row is redrawn whenever what it
// shows changes: percentage, blocks, time left and what the run is doing, its last status
// text once it has ended. No row is wider than the terminal, whose width is asked again at
// every redraw so that the rows follow a resize. Into a file or a pipe every change is a
// line of its own, prefixed with the label, and progress is a line at every tenth of the
// way. Runs call it from their own threads.
#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "upgrade/time_left.h"

namespace quenfall::cli {

class CrateDisplay {
public:
    using Columns = std::function<std::size_t()>;  // the terminal's width now; 0: unknown

    CrateDisplay(std::ostream& out, std::ostream& err, bool terminal, std::vector<std::string> labels,
                 Columns columns);
    CrateDisplay(std::ostream& out, std::ostream& err, bool terminal, std::vector<std::string> labels,
                 std::size_t columns = 80);

    void Status(std::size_t row, std::string_view text);
    void Progress(std::size_t row, int pixels);
    // The run's phase, blocks and time left.
    void Advance(std::size_t row, const RunProgress& progress);
    // The text of an information box. On a terminal each different text is written once,
    // under the rows, by Finish.
    void Message(std::size_t row, std::string_view text);
    void Error(std::size_t row, std::string_view text, std::string_view caption);
    // Every run is over: the cursor goes below the rows.
    void Finish();
    // The terminal's width now (DefaultColumns when it cannot tell).
    std::size_t Width() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Row {
        std::string Label;
        std::string Status;
        int Width = 0;
        int LastTenth = 0;
        bool Told = false;  // a RunProgress came
        quenfall::RunProgress Progress;
        Clock::time_point DrawnAt{};
    };
    std::string RowText(const Row& row, std::size_t columns) const;
    void Redraw(std::size_t row);

    std::mutex lock_;
    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    Columns columns_;
    std::size_t drawnColumns_ = 0;
    std::size_t labelWidth_ = 0;
    std::vector<Row> rows_;
    std::vector<std::string> messages_;
    bool finished_ = false;
};

}  // namespace quenfall::cli
