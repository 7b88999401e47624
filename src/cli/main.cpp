// quenfall-cli: the firmware upgrade from a terminal. One file per command.
#include <iostream>
#include <string_view>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "protocol/key_tables.h"

namespace {

constexpr std::string_view Help =
    "quenfall-cli: inspect, pack and flash radio firmware packages\n"
    "\n"
    "usage:\n"
    "  quenfall-cli inspect FILE [--json]\n"
    "      Load FILE as the window does and show the verdict and the header.\n"
    "      Exit 0 accepted, 1 refused, 2 usage error or unreadable file.\n"
    "  quenfall-cli pack -o OUT --model N [--scramble M] [--bank B] [--variant V]\n"
    "                    --section ID=FILE [--section ID=FILE ...]\n"
    "      Write a package; each section goes into the slot of its id (0..11).\n"
    "  quenfall-cli flash FILE [--emulate] [--trace TRACE]\n"
    "      Upgrade the first radio found or, with --emulate, an emulated radio in real\n"
    "      time (it restarts into boot mode first).\n"
    "      --trace writes every frame sent (\"> \") and answer accepted (\"< \") in hex.\n"
    "      Exit 0 only when the upgrade completes.\n"
    "  quenfall-cli flash FILE --device NODE_OR_LOCATION [--report REPORT] [--trace TRACE]\n"
    "  quenfall-cli flash FILE --all [--report REPORT]\n"
    "      Upgrade the radio with that device node or location (as devices lists it), or\n"
    "      every radio found, all at once. Each run follows its radio by location through\n"
    "      its restart. One line per radio, labelled by location; then a summary.\n"
    "      --report writes a JSON record per radio. --emulate N: a crate of N emulated\n"
    "      radios. Exit 0 only when every upgrade completes.\n"
    "  quenfall-cli devices [--json] [--emulate N]\n"
    "      List the radios found: device, location (USB port), vendor and model quoted,\n"
    "      blanks included; --emulate N lists an emulated crate. Exit 0 when at least one\n"
    "      is found, 1 when none is.\n"
    "  quenfall-cli --version\n"
    "  quenfall-cli --help\n";

void PrintVersion() {
    std::cout << "quenfall-cli " << QUENFALL_VERSION << '\n'
              << "key set: " << quenfall::KeySetName() << " (fingerprint " << quenfall::KeySetFingerprint()
              << ")\n";
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    // Before anything loads a DLL: from now on only the system folder is searched, never the
    // program's own folder or the current directory.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
#endif
    using namespace quenfall::cli;
    Arguments args = ProgramArguments(argc, argv);
    if (args.empty()) {
        std::cerr << Help;
        return 2;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << Help;
        return 0;
    }
    if (command == "--version") {
        PrintVersion();
        return 0;
    }
    if (command == "inspect") return InspectCommand(args);
    if (command == "pack") return PackCommand(args);
    if (command == "flash") return FlashCommand(args);
    if (command == "devices") return DevicesCommand(args);
    std::cerr << "quenfall-cli: unknown command \"" << command << "\"\n\n" << Help;
    return 2;
}
