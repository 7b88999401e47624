#pragma once
// What the accessible objects handed out read the window through. Assistive technology may
// keep an object after the window has gone: Form is null then, and every call fails.
#include <windows.h>
#include <oleacc.h>

namespace quenfall::ui {

class Win32FlashForm;

struct AccessibleState {
    Win32FlashForm* Form = nullptr;
    HWND Edit = nullptr;
    WNDPROC EditProcedure = nullptr;
    IAccessible* FormObject = nullptr;
};

}  // namespace quenfall::ui
