#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/platform.h"

namespace quenfall::cli {

void PrepareProcess() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Every text is written as UTF-8, to a file or a pipe as it is; a console shows it as such.
    SetConsoleOutputCP(CP_UTF8);
}

std::filesystem::path PathFromArgument(const std::string& word) {
    return std::filesystem::path(std::u8string(word.begin(), word.end()));
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr) {
        for (int i = 1; i < count; ++i) {
            const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string word(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
            if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, word.data(), n, nullptr, nullptr);
            args.push_back(std::move(word));
        }
        LocalFree(wide);
        return args;
    }
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

// The console may not take the escape sequences that redraw rows in place.
bool TerminalRedrawsInPlace() { return false; }

std::size_t TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!StdoutIsTerminal() || !GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    return width > 0 ? static_cast<std::size_t>(width) : 0;
}

}  // namespace quenfall::cli
