#pragma once
// The native Edit1 read by its label: the form draws the label, so the edit's standard
// object cannot find it; the edit's window procedure is wrapped to answer WM_GETOBJECT with
// the standard object under the label's name.
#include <windows.h>

namespace quenfall::ui {

struct AccessibleState;

// Wraps edit's window procedure; the wrapper undoes itself when the edit is destroyed.
void NameEditByLabel(AccessibleState& state, HWND edit);
// Puts the edit's own window procedure back while the edit still exists.
void RestoreEdit(AccessibleState& state);

}  // namespace quenfall::ui
