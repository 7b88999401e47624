#pragma once
// A run's progress as one line of a terminal: bar, percentage, blocks, time left and what
// the run is doing, e.g. "[#####.....]  45%  230/512 blocks  0:07 left  uploading", in the
// user's language. Lines are counted in the columns a terminal gives their characters (two
// for Chinese) and never reach the terminal's last column, so that none wraps and a line
// redrawn in place stays one line.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "upgrade/time_left.h"

namespace quenfall::cli {

// The width assumed when the terminal cannot tell.
inline constexpr std::size_t DefaultColumns = 80;

// progress as a line for a terminal of columns characters; tail follows it (the phase in
// words while the run goes on, its last status text once it has ended).
std::string ProgressLine(const RunProgress& progress, std::string_view tail, std::size_t columns);

// The columns text takes on a terminal.
std::size_t ColumnsOf(std::string_view text);

// text with every control character and every byte that is not UTF-8 made '?' (and, while
// the texts are English, every character outside ASCII), cut to columns - 1 columns.
std::string FitToWidth(std::string_view text, std::size_t columns);

// text broken at blanks into lines of at most columns - 1 columns (a word longer than that
// is cut), each made as FitToWidth does.
std::vector<std::string> WrapToWidth(std::string_view text, std::size_t columns);

}  // namespace quenfall::cli
