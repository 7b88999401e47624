#pragma once
// Runs in the history: one record per run that sent its radio a first request, from the
// command line, the shop window and the main window alike.
#include <string>
#include <string_view>
#include <vector>

#include "runs/radio_run.h"
#include "history/history_recorder.h"
#include "package/package.h"

namespace quenfall {

// program: "quenfall-cli" or "quenfall", as the record names the program that ran it.
// package: none when the run had none to name.
HistoryRecord RecordOfRun(const RadioOutcome& outcome, const Package* package, std::string_view packageName,
                          bool emulated, std::string_view program = "quenfall-cli");

// Records every run of outcomes that sent something. Returns, once, what to tell the user
// when the history cannot be written (empty otherwise); the runs' results stand as they are.
std::string RecordRuns(HistoryRecorder& recorder, const std::vector<RadioOutcome>& outcomes,
                       const Package& package, std::string_view packageName, bool emulated,
                       std::string_view program = "quenfall-cli");

}  // namespace quenfall
