#pragma once
// flash FILE --all / --device NODE_OR_LOCATION: one run per radio, each bound to where its
// radio is plugged in, on the radios chosen at start-up (the platform's or an emulated crate).
#include <memory>
#include <optional>
#include <string>

#include "package/package.h"
#include "upgrade/upgrade_sequencer.h"

namespace quenfall {
class Radios;
}  // namespace quenfall

namespace quenfall::cli {

class RunEvents;
class StopRequests;

struct CrateRequest {
    Radios* Chosen = nullptr;              // the radios chosen at start-up
    std::shared_ptr<const Package> Loaded;
    std::string PackageName;               // the file's name, for the report
    std::optional<std::string> Device;     // none: every radio found
    std::optional<std::string> ReportPath;
    DialogueTrace* Trace = nullptr;        // only with Device
    RunEvents* Events = nullptr;           // --events, optional
    StopRequests* Stops = nullptr;         // Ctrl-C and the like stop the runs
    bool AllowModelChange = false;         // --allow-model-change
};

int FlashCrateCommand(const CrateRequest& request);

}  // namespace quenfall::cli
