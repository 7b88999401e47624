#include "ui/win32/win32_accessibility.h"

#include "ui/win32/win32_accessible_state.h"
#include "ui/win32/win32_edit_accessible.h"
#include "ui/win32/win32_flash_form.h"
#include "ui/win32/win32_form_accessible.h"
#include "ui/win32/win32_oleacc.h"
#include "window/window_accessibility.h"

namespace quenfall::ui {

using window::AccessibleRole;
using window::ControlId;

Win32Accessibility::Win32Accessibility(Win32FlashForm& form) : state_(std::make_shared<AccessibleState>()) {
    state_->Form = &form;
    if (HWND edit = form.ControlHandle(ControlId::Edit1); edit != nullptr) NameEditByLabel(*state_, edit);
}

Win32Accessibility::~Win32Accessibility() {
    RestoreEdit(*state_);
    state_->Form = nullptr;
    if (state_->FormObject != nullptr) state_->FormObject->Release();
    state_->FormObject = nullptr;
}

std::optional<LRESULT> Win32Accessibility::Answer(WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || state_->Form == nullptr || !msaa::Functions().Loaded()) {
        return std::nullopt;
    }
    if (state_->FormObject == nullptr) {
        IAccessible* standard = nullptr;
        if (FAILED(msaa::Functions().CreateStdAccessibleObject(state_->Form->Handle(), OBJID_CLIENT, __uuidof(IAccessible),
                                                                reinterpret_cast<void**>(&standard)))) {
            return std::nullopt;
        }
        state_->FormObject = NewFormAccessible(state_, standard);
    }
    return msaa::HandOut(wParam, state_->FormObject);
}

void Win32Accessibility::Changed(ControlId id, Change change) {
    if (state_->Form == nullptr || state_->Form->ControlHandle(id) != nullptr) return;  // native: the system reports
    const std::optional<LONG> child = ChildId(id);
    if (!child) return;
    DWORD event = 0;
    switch (change) {
    case Change::Visibility: event = state_->Form->Visible(id) ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE; break;
    case Change::Text: event = EVENT_OBJECT_NAMECHANGE; break;
    case Change::Width:
        if (window::Accessible(id).Role != AccessibleRole::ProgressBar) return;
        event = EVENT_OBJECT_VALUECHANGE;
        break;
    case Change::Description:
        if (window::Accessible(id).Role != AccessibleRole::ProgressBar) return;
        event = EVENT_OBJECT_DESCRIPTIONCHANGE;
        break;
    }
    NotifyWinEvent(event, state_->Form->Handle(), OBJID_CLIENT, *child);
}

std::optional<LONG> Win32Accessibility::ChildId(ControlId id) {
    const AccessibleChildren& children = Children();
    for (LONG i = 0; i < children.Count; ++i) {
        if (children.Ids[static_cast<std::size_t>(i)] == id) return i + 1;
    }
    return std::nullopt;
}

std::optional<ControlId> Win32Accessibility::ControlOfChild(LONG child) {
    const AccessibleChildren& children = Children();
    if (child < 1 || child > children.Count) return std::nullopt;
    return children.Ids[static_cast<std::size_t>(child - 1)];
}

}  // namespace quenfall::ui
