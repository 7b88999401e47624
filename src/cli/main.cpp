// quenfall-cli: the firmware upgrade from a terminal. One file per command.
#include <exception>
#include <iostream>
#include <string_view>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "cli/help_texts.h"
#include "platform/platform.h"
#include "platform/user_language.h"
#include "protocol/key_tables.h"
#include "text/translation.h"

namespace {

bool AsksForHelp(const quenfall::cli::Arguments& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

void PrintVersion() {
    std::cout << "quenfall-cli " << QUENFALL_VERSION << '\n'
              << quenfall::text::Fill(quenfall::text::Tr("key set: {name} (fingerprint {fingerprint})"),
                                      {{"name", std::string(quenfall::KeySetName())},
                                       {"fingerprint", std::string(quenfall::KeySetFingerprint())}})
              << '\n';
}

int Run(int argc, char** argv) {
    using namespace quenfall::cli;
    PrepareProcess();
    quenfall::UseUserLanguage();
    Arguments args = ProgramArguments(argc, argv);
    if (args.empty()) {
        std::cerr << ProgramHelp();
        return 2;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        const std::string help = args.empty() ? std::string() : CommandHelp(args.front());
        std::cout << (help.empty() ? ProgramHelp() : "usage:\n" + help);
        return 0;
    }
    if (command == "--version") {
        PrintVersion();
        return 0;
    }
    // A command's own help, wherever --help stands among its words.
    if (const std::string help = CommandHelp(command); !help.empty() && AsksForHelp(args)) {
        std::cout << "usage:\n" << help;
        return 0;
    }
    if (command == "inspect") return InspectCommand(args);
    if (command == "pack") return PackCommand(args);
    if (command == "flash") return FlashCommand(args);
    if (command == "station") return StationCommand(args);
    if (command == "devices") return DevicesCommand(args);
    if (command == "history") return HistoryCommand(args);
    if (command == "doctor") return DoctorCommand(args);
    std::cerr << "quenfall-cli: " << quenfall::text::Fill(quenfall::text::Tr("unknown command \"{command}\""), {{"command", command}})
              << "\n\n"
              << ProgramHelp();
    return 2;
}

}  // namespace

// What escapes a command (memory exhausted, a fault of this program's) is said, not left to
// abort the process without a word.
int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "quenfall-cli: "
                  << quenfall::text::Fill(quenfall::text::Tr("stopped by an unexpected error: {error}"), {{"error", e.what()}})
                  << '\n';
    } catch (...) {
        std::cerr << "quenfall-cli: " << quenfall::text::Tr("stopped by an unexpected error") << '\n';
    }
    return 1;
}
