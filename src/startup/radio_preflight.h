#pragma once
// The checks made before a real radio is used, the same for flash, flash --all and devices:
// this build has a link to real radios, a radio is there, and this process may command it.
// Nothing is sent to a radio; what would stop a run before its first frame is said here.
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace quenfall {

enum class PreflightCheck {
    Passed,
    NoLink,        // this build has no radio support on this system
    NoRadio,       // the scan found none
    NotPermitted,  // found, but this process may not command it: see Problem
};

struct RadioPreflight {
    PreflightCheck Result = PreflightCheck::NoLink;
    std::unique_ptr<PlatformDeviceLink> Link;  // scanned once; null for NoLink and for emulated radios
    std::vector<RadioDrive> Drives;            // the scan's radios, in the order flash uses
    std::string Problem;                       // for NotPermitted: what the user must do
};

// Scans once; asks for the permission only when a radio was found.
RadioPreflight CheckRealRadios();

// The failed check in words, after "quenfall-cli <command>: "; several: the command is to
// use every radio found. Empty for Passed.
std::string PreflightText(const RadioPreflight& preflight, bool several);

}  // namespace quenfall
