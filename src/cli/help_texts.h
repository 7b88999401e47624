#pragma once
// What quenfall-cli --help and each command's --help print. The manual page is made from
// the same words at build time, so the three never disagree.
#include <string>
#include <string_view>

namespace quenfall::cli {

// The usage lines and the explanation of one command, each line indented as --help shows
// it; empty for a word that is no command.
std::string CommandHelp(std::string_view command);
// The whole of quenfall-cli --help: the summary line, then every command's help.
std::string ProgramHelp();

}  // namespace quenfall::cli
