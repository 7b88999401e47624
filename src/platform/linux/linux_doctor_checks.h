#pragma once
// The doctor's checks of Linux (the helper, the udev rule, the sg driver): pure, over the facts its gathering records, built on every
// system so that their verdicts are tested everywhere.
#include <string_view>

#include "platform/radio_diagnosis.h"

namespace quenfall {

// The radio's udev rule where the package installs it; a build from source installs it in
// its prefix's lib/udev/rules.d.
inline constexpr std::string_view InstalledRulePath = "/lib/udev/rules.d/70-quenfall-radio.rules";

const SystemChecks& LinuxDoctorChecks();

}  // namespace quenfall
