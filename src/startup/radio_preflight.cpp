#include "startup/radio_preflight.h"

#include "text/translation.h"

namespace quenfall {

RadioPreflight CheckRealRadios() {
    RadioPreflight preflight;
    preflight.Link = MakePlatformDeviceLink();
    if (!preflight.Link) return preflight;
    preflight.Link->ScanDrives();
    preflight.Drives = preflight.Link->ListedDrives();
    if (preflight.Drives.empty()) {
        preflight.Result = PreflightCheck::NoRadio;
        return preflight;
    }
    preflight.Problem = preflight.Link->PermissionProblem();
    preflight.Result = preflight.Problem.empty() ? PreflightCheck::Passed : PreflightCheck::NotPermitted;
    return preflight;
}

std::string PreflightText(const RadioPreflight& preflight, bool several) {
    switch (preflight.Result) {
        case PreflightCheck::Passed: return {};
        case PreflightCheck::NoLink: return std::string(NoRadioSupportText);
        case PreflightCheck::NoRadio:
            // English here: the events stream keeps it; the command line shows Tr() of it.
            return std::string(
                several ? text::Translatable("no radio was found. Connect the radios with their programming cables, "
                                             "switch them on in programming mode and try again (quenfall-cli doctor "
                                             "says why none is found).")
                        : text::Translatable("no radio was found. Connect the radio with its programming cable, switch "
                                             "it on in programming mode and try again (quenfall-cli doctor says why "
                                             "none is found)."));
        case PreflightCheck::NotPermitted: return preflight.Problem;
    }
    return {};
}

}  // namespace quenfall
