#include <unistd.h>

#include "platform/platform.h"

namespace quenfall::cli {

void PrepareProcess() {}

std::filesystem::path PathFromArgument(const std::string& word) { return std::filesystem::path(word); }

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

bool TerminalRedrawsInPlace() { return StdoutIsTerminal(); }

}  // namespace quenfall::cli
