#pragma once
// A crate of radios upgraded at once from the command line: one run per radio
// (runs/radio_run.h), each shown in its row of the crate's display.
#include <memory>
#include <vector>

#include "cli/crate_display.h"
#include "cli/run_events.h"
#include "runs/radio_run.h"
#include "package/package.h"

namespace quenfall::cli {

// Runs every radio's upgrade of package at once and returns when all have ended, outcomes
// in the order of radios. Row i of display belongs to radios[i]; the radios' links are
// taken by their runs. options.Trace, when set, receives the dialogue of a crate of one
// radio only. events, when set, is told every run's status texts and progress (not their ends).
std::vector<RadioOutcome> FlashCrate(const std::shared_ptr<const Package>& package,
                                     std::vector<CrateRadio>& radios, CrateDisplay& display,
                                     const FlashOptions& options, RunEvents* events = nullptr);

}  // namespace quenfall::cli
