#pragma once
// The doctor's checks of Windows (the elevated helper): pure, over the facts its gathering records, built on every
// system so that their verdicts are tested everywhere.
#include "platform/radio_diagnosis.h"

namespace quenfall {

const SystemChecks& WindowsDoctorChecks();

}  // namespace quenfall
