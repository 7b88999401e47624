#pragma once
// Small helpers the commands share: arguments, number parsing, JSON strings, the terminal.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenfall::cli {

// A byte value written in decimal or with a 0x prefix in hex; none when it is not one.
std::optional<std::uint8_t> ParseByte(std::string_view text);
// text as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);
// A path from a command-line word, which main hands over in UTF-8 on every platform.
std::filesystem::path PathFromArgument(const std::string& word);
// The program's arguments in UTF-8. On Windows they are taken from the wide command line,
// so that a file name with characters outside the code page still opens.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The model codes this build accepts for pack --model, one line each with the key table
// each scramble mode uses, under a heading naming the key set; every line ends in '\n'.
std::string AcceptedModelsHelp(std::string_view indent);

// True when the stream is an interactive terminal (no progress bar otherwise).
bool StdoutIsTerminal();

}  // namespace quenfall::cli
