#include "cli/help_texts.h"

#include "cli/cli_support.h"
#include "text/translation.h"

namespace quenfall::cli {

namespace {

struct Section {
    std::string_view Usage;        // the usage lines, as typed: never translated
    std::string_view Explanation;  // one paragraph under them, a message of its own
};

struct CommandText {
    std::string_view Name;
    Section Sections[2];
};

// Usage lines start with two blanks and the program's name; the explanation below them is
// indented by six, on every line of it: a translation keeps those six blanks after each line
// break. The manual page is made from this layout, always in English.
constexpr CommandText Commands[] = {
    {"inspect",
     {{
       "  quenfall-cli inspect FILE [--json]\n",
       text::Translatable("Load FILE as the window does and show the verdict and the header.\n"
                          "      Exit 0 accepted, 1 refused, 2 usage error or unreadable file.")}}},
    {"pack",
     {{
       "  quenfall-cli pack -o OUT --model N [--scramble M] [--bank B] [--variant V]\n"
       "                    --section ID=FILE [--section ID=FILE ...]\n",
       text::Translatable("Write a package; each section goes into the slot of its id (0..11).")}}},
    {"flash",
     {{
       "  quenfall-cli flash FILE [--emulate] [--trace TRACE] [--events EVENTS]\n"
       "                         [--allow-model-change]\n",
       text::Translatable("Upgrade the first radio found or, with --emulate, an emulated radio in real\n"
                          "      time (it restarts into boot mode first).\n"
                          "      --trace writes every frame sent (\"> \") and answer accepted (\"< \") in hex.\n"
                          "      Exit 0 only when the upgrade completes.")},
      {
       "  quenfall-cli flash FILE --device NODE_OR_LOCATION [--report REPORT] [--trace TRACE]\n"
       "  quenfall-cli flash FILE --all [--report REPORT] [--events EVENTS]\n",
       text::Translatable("Upgrade the radio with that device node or location (as devices lists it), or\n"
                          "      every radio found, all at once. Each run follows its radio by location through\n"
                          "      its restart. One line per radio, labelled by location; then a summary.\n"
                          "      --report writes a JSON record per radio. --emulate N: a crate of N emulated\n"
                          "      radios. Exit 0 only when every upgrade completes.\n"
                          "      Ctrl-C, SIGTERM or SIGHUP stops the runs: each is recorded as \"interrupted\"\n"
                          "      with the blocks it sent, the summary follows, and the exit status is 128 + the\n"
                          "      signal (130 for Ctrl-C). A second Ctrl-C ends the program at once.\n"
                          "      --emulate-fault FAULT[@K]: emulated radio K (from 1), or every one, fails, for\n"
                          "      practice with failed runs: no-answer (never acknowledges a block), lost (leaves\n"
                          "      the bus after its first block for good), bad-answer (answers with a wrong\n"
                          "      check sum), refused (the drive refuses the vendor commands). May be repeated.\n"
                          "      --events EVENTS (\"-\": standard output, which then carries nothing else)\n"
                          "      writes one JSON object a line, each flushed at once: \"time\" (UTC, to the\n"
                          "      millisecond), \"location\", \"serial\" and \"event\": \"status\" with \"text\";\n"
                          "      \"progress\" with \"blocks_done\", \"blocks_total\", \"percent\", \"phase\"\n"
                          "      (\"entering boot mode\", \"radio restarting\", \"checking boot mode\",\n"
                          "      \"uploading\", \"leaving boot mode\", \"ended\") and \"seconds_left\"; \"end\"\n"
                          "      with \"outcome\", \"completed\", \"last_command_problem\" and the other\n"
                          "      fields of the run's history record. Names and phases are English always.\n"
                          "      A radio whose last completed upgrade, by its USB serial in the history, was\n"
                          "      for another model code is not upgraded: the command says which model code\n"
                          "      and package it took and when, records the refusal and exits 1, unless\n"
                          "      --allow-model-change is given (recorded too). A serial that is empty, one\n"
                          "      character over and over, or seen at two ports at once names no one radio.")}}},
    {"station",
     {{
       "  quenfall-cli station FILE [--count N] [--report REPORT] [--events EVENTS]\n"
       "                       [--emulate N] [--emulate-fault FAULT[@K]] [--allow-model-change]\n",
       text::Translatable("Upgrade each radio as it is plugged in, once, by a run of its own; one line\n"
                          "      per radio as its run ends. A radio that comes back (its restart during the\n"
                          "      run, its reset after it) is the same radio, known by its location and by its\n"
                          "      USB serial where that is unique, and is not upgraded again until it has been\n"
                          "      unplugged for longer than its restart wait (8 s). Runs until interrupted or\n"
                          "      until N radios have ended. --report writes a JSON record per run, in the\n"
                          "      order the radios arrived. --emulate N: N emulated radios plugged in a few\n"
                          "      seconds apart, each back once after its reset and unplugged a few seconds\n"
                          "      after its run (N is then the count). --events EVENTS: every run's events,\n"
                          "      as flash's, one JSON object a line. Exit 0 when every radio run completed.\n"
                          "      Ctrl-C stops the runs going on and records them as \"interrupted\" (exit 130).\n"
                          "      A radio whose history says it last took another model code's package is not\n"
                          "      upgraded, as with flash: its refusal is its line and its record, and the\n"
                          "      station goes on; --allow-model-change upgrades it all the same.")}}},
    {"devices",
     {{
       "  quenfall-cli devices [--json] [--emulate N]\n",
       text::Translatable("List the radios found: device, location (USB port), vendor and model quoted,\n"
                          "      blanks included; --emulate N lists an emulated crate. Exit 0 when at least one\n"
                          "      is found, 1 when none is.")}}},
    {"history",
     {{
       "  quenfall-cli history [--json | --csv] [--failed] [--location LOCATION] [--since DATE]\n"
       "                      [--sha256 HASH]\n",
       text::Translatable("Every recorded upgrade run, newest last: start time (UTC), radio, package,\n"
                          "      blocks sent and how it ended; as a table, JSON, or CSV with a header row.\n"
                          "      --failed: only runs that did not complete; --since 2026-12-09[T14:30]: runs\n"
                          "      started then or later; --sha256: the runs of one package file, named by the\n"
                          "      SHA-256 that inspect and sha256sum print. Every run that sent a radio its\n"
                          "      first request is recorded, emulated ones marked so, in\n"
                          "      $XDG_STATE_HOME/quenfall/history.jsonl\n"
                          "      (~/.local/state/quenfall/; %LOCALAPPDATA%\\Quenfall\\ on Windows), or in the\n"
                          "      file QUENFALL_HISTORY names.")}}},
    {"doctor",
     {{
       "  quenfall-cli doctor\n",
       text::Translatable("Why the radio is or is not found: one line per check (the radio helper, the\n"
                          "      udev rule, the sg driver, this user's access, the system, the key set, every\n"
                          "      USB disk and whether it is the radio), each \"ok\" or the problem and what to\n"
                          "      do. Sends the radio nothing. Exit 0 when a radio could be upgraded now.")}}},
};

constexpr std::string_view Summary = text::Translatable("inspect, pack and flash radio firmware packages");
constexpr Section ProgramOptions = {
    "  quenfall-cli --version\n"
    "  quenfall-cli --help\n"
    "  quenfall-cli COMMAND --help\n",
    text::Translatable("Show the version and the key set, this help, or the help of one command.")};

std::string Shown(const Section& section) {
    if (section.Usage.empty()) return {};
    return std::string(section.Usage) + "      " + text::Tr(section.Explanation) + "\n";
}

}  // namespace

std::string CommandHelp(std::string_view command) {
    for (const CommandText& c : Commands) {
        if (c.Name != command) continue;
        std::string text;
        for (const Section& section : c.Sections) text += Shown(section);
        // The codes --model takes depend on the build's profiles, so they are read off them.
        if (command == "pack") text += AcceptedModelsHelp("      ");
        return text;
    }
    return {};
}

std::string ProgramHelp() {
    std::string text = "quenfall-cli: " + text::Tr(Summary) + "\n";
    text += "\nusage:\n";
    for (const CommandText& c : Commands) text += CommandHelp(c.Name);
    text += Shown(ProgramOptions);
    return text;
}

}  // namespace quenfall::cli
