#pragma once
// quenfall-cli's runs in the history: one record per run that sent its radio a first
// request, written as the command ends, before it reports its result.
#include <iosfwd>
#include <string_view>
#include <vector>

#include "cli/crate_flash.h"
#include "history/history_recorder.h"
#include "package/package.h"

namespace quenfall::cli {

HistoryRecord RecordOfRun(const RadioOutcome& outcome, const Package& package, std::string_view packageName,
                          bool emulated);

// Records every run of outcomes that sent something. When the history cannot be written,
// says so once on err; the runs' results stand as they are.
void RecordRuns(HistoryRecorder& recorder, const std::vector<RadioOutcome>& outcomes, const Package& package,
                std::string_view packageName, bool emulated, std::ostream& err);

}  // namespace quenfall::cli
