#pragma once
// The class of each of the program's top-level windows: the arrow cursor and the dialog
// colour behind the controls, registered once per class name.
#include <windows.h>

namespace quenfall::ui {

// Registers className with procedure; throws when the system refuses.
ATOM RegisterFormClass(const wchar_t* className, WNDPROC procedure);

}  // namespace quenfall::ui
