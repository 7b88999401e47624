#include "ui/win32/win32_window_class.h"
#include "text/translation.h"

#include <stdexcept>

namespace quenfall::ui {

ATOM RegisterFormClass(const wchar_t* className, WNDPROC procedure) {
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = procedure;
    type.hInstance = GetModuleHandleW(nullptr);
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    type.lpszClassName = className;
    const ATOM registered = RegisterClassExW(&type);
    if (registered == 0) throw std::runtime_error(text::Tr("the window class cannot be registered"));
    return registered;
}

}  // namespace quenfall::ui
