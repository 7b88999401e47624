#pragma once
// What a control shows when the pointer rests on it: the layout's hint ("Close",
// "Minimized"), and on the title icon and title label which key tables this build carries,
// for anyone who needs to tell builds apart without adding anything to the layout.
#include <string>

#include "window/window_layout.h"

namespace quenfall::window {

// Empty: the control has no tooltip.
std::u16string Tooltip(ControlId control);

}  // namespace quenfall::window
