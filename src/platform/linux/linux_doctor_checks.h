#pragma once
// The doctor's checks of Linux (the helper, the udev rule, the sg driver): pure, over the facts its gathering records, built on every
// system so that their verdicts are tested everywhere.
#include "platform/radio_diagnosis.h"

namespace quenfall {

const SystemChecks& LinuxDoctorChecks();

}  // namespace quenfall
