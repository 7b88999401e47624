#pragma once
// What the command line needs of the system it runs on: its arguments, paths from them, and
// the terminal. One file per system implements it (console_posix.cpp, console_windows.cpp),
// chosen by the build.
#include <filesystem>
#include <string>
#include <vector>

namespace quenfall::cli {

// A path from a command-line word, which main hands over in UTF-8 on every platform.
std::filesystem::path PathFromArgument(const std::string& word);
// The program's arguments in UTF-8. On Windows they are taken from the wide command line,
// so that a file name with characters outside the code page still opens.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// True when the stream is an interactive terminal (no progress bar otherwise).
bool StdoutIsTerminal();
// True when rows may be redrawn in place with escape sequences: a terminal that is known to
// understand them.
bool TerminalRedrawsInPlace();

}  // namespace quenfall::cli
