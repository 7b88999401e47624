#include "ui/win32/win32_tooltips.h"

#include <commctrl.h>

#include "ui/win32/win32_text.h"

namespace quenfall::ui {
namespace {

TOOLINFOW DrawnTool(HWND owner, window::ControlId control) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = static_cast<UINT_PTR>(control);
    return tool;
}

// A drawn control's tool, or the tool over a control's own window.
TOOLINFOW Tool(HWND owner, const std::map<window::ControlId, HWND>& children, window::ControlId control) {
    TOOLINFOW tool = DrawnTool(owner, control);
    if (const auto child = children.find(control); child != children.end()) {
        tool.uFlags |= TTF_IDISHWND;
        tool.uId = reinterpret_cast<UINT_PTR>(child->second);
    }
    return tool;
}

}  // namespace

void Tooltips::PlaceOver(window::ControlId control, HWND child, std::u16string_view text) {
    if (tooltip_ == nullptr) return;
    children_[control] = child;
    std::wstring shown = ToWide(text);
    TOOLINFOW tool = Tool(owner_, children_, control);
    tool.lpszText = shown.data();
    SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!text.empty()) SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

Tooltips::Tooltips(HWND owner) : owner_(owner) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, nullptr,
                               nullptr);
}

Tooltips::~Tooltips() {
    if (tooltip_ != nullptr && IsWindow(tooltip_)) DestroyWindow(tooltip_);
}

void Tooltips::Place(window::ControlId control, const RECT& box, std::u16string_view text) {
    if (tooltip_ == nullptr) return;
    std::wstring shown = ToWide(text);
    TOOLINFOW tool = DrawnTool(owner_, control);
    tool.rect = box;
    tool.lpszText = shown.data();
    SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!text.empty()) SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::u16string Tooltips::Text(window::ControlId control) const {
    if (tooltip_ == nullptr) return {};
    // TTM_GETTEXTW writes at most 80 characters unless told the buffer's size (comctl32 6).
    std::wstring text(512, L'\0');
    TOOLINFOW tool = Tool(owner_, children_, control);
    tool.lpszText = text.data();
    if (!SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) return {};
    tool.lpszText = text.data();
    SendMessageW(tooltip_, TTM_GETTEXTW, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(&tool));
    text.resize(text.find(L'\0'));
    return FromWide(text);
}

}  // namespace quenfall::ui
