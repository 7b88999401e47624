#pragma once
// The form's client area as assistive technology reads it: the window's caption as name,
// the layout's controls that say something as children, in layout order (child id =
// position + 1). The drawn controls are simple children; the native ones are their own
// windows' objects.
#include <windows.h>
#include <oleacc.h>

#include <array>
#include <memory>

#include "window/window_layout.h"

namespace quenfall::ui {

struct AccessibleState;

struct AccessibleChildren {
    std::array<window::ControlId, window::ControlCount> Ids{};
    LONG Count = 0;
};
const AccessibleChildren& Children();

// A new object (one reference, the caller's) over standard, the client area's standard
// object, which it takes and releases; parent, focus and the area itself come from it.
IAccessible* NewFormAccessible(std::shared_ptr<AccessibleState> state, IAccessible* standard);

}  // namespace quenfall::ui
