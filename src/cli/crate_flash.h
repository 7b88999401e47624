#pragma once
// A crate of radios upgraded at once: one run per radio, each with its own sequencer, device
// watch, timers and thread, and its own link bound to its radio's location.
//
// One thread per run, not one loop for all: a vendor command blocks its caller until the
// radio answers or the transport's 2-second time-out passes, and a radio that stops
// answering does that at every tick. In one shared loop it would hold up the ticks of every
// other radio, stretching their answer windows and their uploads; on its own thread it
// delays only its own run, exactly as a single run is delayed today. The threads sleep
// between ticks, so N runs cost N times the CPU of one and no more wall time.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/crate_display.h"
#include "cli/flash_command.h"
#include "package/package.h"
#include "link/located_device_link.h"
#include "upgrade/drive_list_link.h"

namespace quenfall::cli {

// One radio of the crate as the scan at the start found it, with what its run needs.
struct CrateRadio {
    RadioDrive Drive;
    std::unique_ptr<LocatedDeviceLink> Link;  // bound to Drive's location, for this run alone
    std::function<int()> TakeUsbEvents;  // optional: arrivals and removals of this radio
};

// How one radio's run went, for the summary and the report.
struct RadioOutcome {
    RadioDrive Drive;
    std::string LastNode;      // the node the run last found the radio under
    bool Completed = false;    // ended with " Program upgrade is complete!"
    std::string Outcome;       // that text, the failure text, or the error that ended it
    std::vector<std::string> StatusTexts;  // every status-line text, in order
    std::uint32_t BlocksSent = 0;
    std::uint32_t FramesSent = 0;  // 0: the run sent nothing (no radio could be opened)
    // The last command of the run whose outcome was not good, in words; empty when all were.
    std::string LastCommandProblem;
    std::chrono::system_clock::time_point Start;
    std::chrono::system_clock::time_point End;
};

// Runs every radio's upgrade of package at once and returns when all have ended, outcomes
// in the order of radios. Row i of display belongs to radios[i]. options.Trace, when set,
// receives the dialogue of a crate of one radio only.
std::vector<RadioOutcome> FlashCrate(const std::shared_ptr<const Package>& package,
                                     std::vector<CrateRadio>& radios, CrateDisplay& display,
                                     const FlashOptions& options);

}  // namespace quenfall::cli
