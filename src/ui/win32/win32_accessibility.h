#pragma once
// What the Win32 window draws itself, made readable by assistive technology: the form's
// client area answers WM_GETOBJECT with an accessible object (MSAA IAccessible) whose
// children are the layout's controls, with the roles, names and descriptions of
// window_accessibility.h; the native Edit1 is named by its label; changes are reported as
// WinEvents. oleacc.dll is loaded from the system folder when assistive technology first
// asks, so the program imports nothing more and loads nothing more without it.
#include <windows.h>

#include <memory>
#include <optional>

#include "window/window_layout.h"

namespace quenfall::ui {

class Win32FlashForm;
struct AccessibleState;

class Win32Accessibility {
public:
    // After the form's native controls exist.
    explicit Win32Accessibility(Win32FlashForm& form);
    ~Win32Accessibility();
    Win32Accessibility(const Win32Accessibility&) = delete;
    Win32Accessibility& operator=(const Win32Accessibility&) = delete;

    // WM_GETOBJECT to the form: the answer for its client area; nothing for any other
    // object, which the default handling serves.
    std::optional<LRESULT> Answer(WPARAM wParam, LPARAM lParam);
    enum class Change { Text, Width, Description, Visibility };
    // A drawn control's text, width, description (the progress bar's tooltip: the run's
    // percent and time left) or visibility has just changed: a WinEvent for whoever listens (a
    // name change for texts, a value or description change for the progress bar).
    void Changed(window::ControlId id, Change change);

    // The child id of a control in the form's accessible object (1 and up, in layout
    // order), and the control of a child id; decorations have none.
    static std::optional<LONG> ChildId(window::ControlId id);
    static std::optional<window::ControlId> ControlOfChild(LONG child);

private:
    std::shared_ptr<AccessibleState> state_;
};

}  // namespace quenfall::ui
