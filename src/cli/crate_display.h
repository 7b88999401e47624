#pragma once
// The progress of several runs at once, one row per radio, each labelled by the radio's
// location. On a terminal the rows stay in place and a row is redrawn whenever its run moves
// on; into a file or a pipe every change is a line of its own, prefixed with the label, and
// progress is a line at every tenth of the way. Runs call it from their own threads.
#include <cstddef>
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quenfall::cli {

class CrateDisplay {
public:
    // columns: the terminal's width; rows are cut to it so that none wraps.
    CrateDisplay(std::ostream& out, std::ostream& err, bool terminal, std::vector<std::string> labels,
                 std::size_t columns = 80);

    void Status(std::size_t row, std::string_view text);
    void Progress(std::size_t row, int pixels);
    // The text of an information box. On a terminal each different text is written once,
    // under the rows, by Finish.
    void Message(std::size_t row, std::string_view text);
    void Error(std::size_t row, std::string_view text, std::string_view caption);
    // Every run is over: the cursor goes below the rows.
    void Finish();

private:
    struct Row {
        std::string Label;
        std::string Status;
        int Width = 0;
        int LastTenth = 0;
    };
    std::string RowText(const Row& row) const;
    void Redraw(std::size_t row);

    std::mutex lock_;
    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    std::size_t columns_;
    std::size_t labelWidth_ = 0;
    std::vector<Row> rows_;
    std::vector<std::string> messages_;
    bool finished_ = false;
};

}  // namespace quenfall::cli
