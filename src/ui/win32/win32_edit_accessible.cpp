#include "ui/win32/win32_edit_accessible.h"

#include <string>

#include "ui/win32/win32_accessible_base.h"
#include "ui/win32/win32_accessible_state.h"
#include "ui/win32/win32_flash_form.h"
#include "ui/win32/win32_oleacc.h"
#include "window/window_accessibility.h"

namespace quenfall::ui {

namespace {

using msaa::ChildOf;
using msaa::Functions;
using window::ControlId;

constexpr wchar_t StateProperty[] = L"QuenfallAccessibleState";

// The standard object of a native control with another name.
class RenamedAccessible final : public msaa::AccessibleBase {
public:
    RenamedAccessible(IAccessible* inner, std::u16string name) : inner_(inner), name_(std::move(name)) {}
    ~RenamedAccessible() override { inner_->Release(); }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (ChildOf(child) == CHILDID_SELF) return msaa::ToBstr(name_, name);
        return inner_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override { return inner_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return inner_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override { return inner_->get_accValue(child, value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return inner_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override { return inner_->get_accRole(child, role); }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return inner_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return inner_->get_accHelp(child, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return inner_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return inner_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return inner_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return inner_->get_accSelection(children); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return inner_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG how, VARIANT child) override { return inner_->accSelect(how, child); }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        return inner_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return inner_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override { return inner_->accHitTest(x, y, child); }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return inner_->accDoDefaultAction(child); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return inner_->put_accName(child, name); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override { return inner_->put_accValue(child, value); }

private:
    IAccessible* inner_;
    std::u16string name_;
};

LRESULT CALLBACK EditProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = static_cast<AccessibleState*>(GetPropW(edit, StateProperty));
    if (state == nullptr) return DefWindowProcW(edit, message, wParam, lParam);
    const WNDPROC original = state->EditProcedure;
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT && state->Form != nullptr &&
        Functions().Loaded()) {
        IAccessible* standard = nullptr;
        if (SUCCEEDED(Functions().CreateStdAccessibleObject(edit, OBJID_CLIENT, __uuidof(IAccessible),
                                                             reinterpret_cast<void**>(&standard)))) {
            const window::AccessibleSpec& spec = window::Accessible(ControlId::Edit1);
            const std::u16string label = spec.LabelledBy ? state->Form->Text(*spec.LabelledBy) : std::u16string();
            auto* renamed = new RenamedAccessible(standard, window::AccessibleName(ControlId::Edit1, {}, label));
            const LRESULT answer = msaa::HandOut(wParam, renamed);
            renamed->Release();
            return answer;
        }
    }
    if (message == WM_NCDESTROY) {
        RemovePropW(edit, StateProperty);
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        state->Edit = nullptr;
    }
    return CallWindowProcW(original, edit, message, wParam, lParam);
}

}  // namespace

void NameEditByLabel(AccessibleState& state, HWND edit) {
    state.Edit = edit;
    SetPropW(edit, StateProperty, &state);
    state.EditProcedure =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProcedure)));
}

void RestoreEdit(AccessibleState& state) {
    if (state.Edit == nullptr || !IsWindow(state.Edit)) return;
    SetWindowLongPtrW(state.Edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state.EditProcedure));
    RemovePropW(state.Edit, StateProperty);
}

}  // namespace quenfall::ui
