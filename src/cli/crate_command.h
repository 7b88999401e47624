#pragma once
// flash FILE --all / --device NODE_OR_LOCATION: one run per radio, each bound to where its
// radio is plugged in, on the platform's radios or on an emulated crate.
#include <memory>
#include <optional>
#include <string>

#include "package/package.h"
#include "emulator/emulated_radio.h"
#include "upgrade/upgrade_sequencer.h"

namespace quenfall::cli {

struct CrateRequest {
    std::shared_ptr<const Package> Loaded;
    std::string PackageName;               // the file's name, for the report
    std::optional<std::string> Device;     // none: every radio found
    std::optional<std::size_t> Emulate;    // radios of an emulated crate; none: the platform's
    std::optional<std::string> ReportPath;
    DialogueTrace* Trace = nullptr;        // only with Device
    Misbehaviour Faults;                   // of every emulated radio
};

int FlashCrateCommand(const CrateRequest& request);

}  // namespace quenfall::cli
