#pragma once
// The form's tooltips: one tool per drawn control that has a tooltip (window/tooltips.h),
// over the control's box on the form, shown while the pointer rests there.
#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "window/window_layout.h"

namespace quenfall::ui {

class Tooltips {
public:
    explicit Tooltips(HWND owner);
    ~Tooltips();
    Tooltips(const Tooltips&) = delete;
    Tooltips& operator=(const Tooltips&) = delete;

    // Puts control's tool over box (client pixels of the owner) with text, replacing the
    // one it had; empty text takes the tool away.
    void Place(window::ControlId control, const RECT& box, std::u16string_view text);
    // Puts control's tool over its own window child; empty text takes the tool away.
    void PlaceOver(window::ControlId control, HWND child, std::u16string_view text);
    // What control's tool shows; empty when it has none.
    std::u16string Text(window::ControlId control) const;

private:
    HWND owner_;
    HWND tooltip_ = nullptr;
    std::map<window::ControlId, HWND> children_;  // controls whose tool is over a child
};

}  // namespace quenfall::ui
