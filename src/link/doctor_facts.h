#pragma once
// The facts `quenfall-cli doctor` judges (link/radio_diagnosis.h), gathered from this
// system. This is the interface each platform's gathering implements; exactly one is
// built (link/linux, link/windows, link/none). It reads what the system says and may start
// the radio helper to hear its greeting; it sends no vendor command.
#include "link/radio_diagnosis.h"

namespace quenfall {

DoctorFacts GatherDoctorFacts();

}  // namespace quenfall
