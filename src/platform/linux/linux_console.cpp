#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

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

namespace {

// The width is asked of the terminal once, and again only after it says it was resized.
std::atomic<bool> resized{true};
std::atomic<std::size_t> columns{0};

extern "C" void NoteResize(int) { resized.store(true); }

}  // namespace

std::size_t TerminalColumns() {
    static const bool watching = [] {
        struct sigaction action {};
        action.sa_handler = NoteResize;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        return sigaction(SIGWINCH, &action, nullptr) == 0;
    }();
    if (resized.exchange(false) || !watching) {
        winsize size{};
        columns.store(ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0);
    }
    return columns.load();
}

}  // namespace quenfall::cli
