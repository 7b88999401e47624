#include "ui/win32/win32_form_accessible.h"

#include <string>

#include "ui/win32/win32_accessibility.h"
#include "ui/win32/win32_accessible_base.h"
#include "ui/win32/win32_accessible_state.h"
#include "ui/win32/win32_flash_form.h"
#include "ui/win32/win32_oleacc.h"
#include "window/window_accessibility.h"
#include "window/window_texts.h"
#include "text/translation.h"

namespace quenfall::ui {

using window::AccessibleRole;
using window::ControlId;
using window::ControlKind;

const AccessibleChildren& Children() {
    static const AccessibleChildren children = [] {
        AccessibleChildren list;
        for (const window::ControlSpec& spec : window::Layout()) {
            if (window::Accessible(spec.Id).Role != AccessibleRole::Decoration) list.Ids[static_cast<std::size_t>(list.Count++)] = spec.Id;
        }
        return list;
    }();
    return children;
}

namespace {

using msaa::ChildOf;
using msaa::Functions;
using msaa::SetChild;
using msaa::SetDispatch;
using msaa::ToBstr;

LONG RoleOf(ControlId id) {
    switch (window::Accessible(id).Role) {
    case AccessibleRole::StatusLine: return ROLE_SYSTEM_STATUSBAR;
    case AccessibleRole::Link: return ROLE_SYSTEM_LINK;
    case AccessibleRole::Text: return ROLE_SYSTEM_TEXT;
    case AccessibleRole::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
    case AccessibleRole::ProgressBar: return ROLE_SYSTEM_PROGRESSBAR;
    case AccessibleRole::Image: return ROLE_SYSTEM_GRAPHIC;
    case AccessibleRole::Label: return ROLE_SYSTEM_STATICTEXT;
    case AccessibleRole::Decoration: break;
    }
    return ROLE_SYSTEM_GRAPHIC;
}

class FormAccessible final : public msaa::AccessibleBase {
public:
    FormAccessible(std::shared_ptr<AccessibleState> state, IAccessible* standard)
        : state_(std::move(state)), standard_(standard) {}
    ~FormAccessible() override {
        if (standard_ != nullptr) standard_->Release();
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        return standard_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (count == nullptr) return E_POINTER;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        *count = Children().Count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        const std::optional<ControlId> id = Control(child);
        if (!id) return E_INVALIDARG;
        if (HWND native = Form().ControlHandle(*id); native != nullptr) {
            return Functions().AccessibleObjectFromWindow(native, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch),
                                                          reinterpret_cast<void**>(object));
        }
        return S_FALSE;  // a simple child: asked through this object with its child id
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (name == nullptr) return E_POINTER;
        *name = nullptr;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        if (ChildOf(child) == CHILDID_SELF) {
            std::wstring caption(static_cast<std::size_t>(GetWindowTextLengthW(Form().Handle())) + 1, L'\0');
            caption.resize(static_cast<std::size_t>(GetWindowTextW(Form().Handle(), caption.data(), static_cast<int>(caption.size()))));
            return ToBstr(std::u16string(caption.begin(), caption.end()), name);
        }
        const std::optional<ControlId> id = Control(child);
        if (!id) return E_INVALIDARG;
        const window::AccessibleSpec& spec = window::Accessible(*id);
        const std::u16string shown = Form().Text(*id);
        const std::u16string label = spec.LabelledBy ? Form().Text(*spec.LabelledBy) : std::u16string();
        return ToBstr(window::AccessibleName(*id, shown, label), name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (value == nullptr) return E_POINTER;
        *value = nullptr;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        const std::optional<ControlId> id = Control(child);
        if (!id) return ChildOf(child) == CHILDID_SELF ? DISP_E_MEMBERNOTFOUND : E_INVALIDARG;
        if (window::Accessible(*id).Role == AccessibleRole::ProgressBar) {
            const std::string percent = std::to_string(window::ProgressPercent(Form().LayoutWidth(*id))) + "%";
            return ToBstr(std::u16string(percent.begin(), percent.end()), value);
        }
        if (window::Accessible(*id).Role == AccessibleRole::Link) return ToBstr(Form().Text(*id), value);
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        if (text == nullptr) return E_POINTER;
        *text = nullptr;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        const std::optional<ControlId> id = Control(child);
        if (!id) return DISP_E_MEMBERNOTFOUND;
        const std::u16string told =
            window::Accessible(*id).Role == AccessibleRole::ProgressBar ? Form().TooltipText(*id) : std::u16string();
        std::u16string description = window::ShownText(window::Accessible(*id).Description);
        if (description.empty()) description = window::ShownText(window::Spec(*id).Hint);
        if (!told.empty()) description = told;
        if (description.empty()) return S_FALSE;
        return ToBstr(description, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (role == nullptr) return E_POINTER;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        if (ChildOf(child) == CHILDID_SELF) {
            SetChild(role, ROLE_SYSTEM_CLIENT);
            return S_OK;
        }
        const std::optional<ControlId> id = Control(child);
        if (!id) return E_INVALIDARG;
        SetChild(role, RoleOf(*id));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (state == nullptr) return E_POINTER;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        if (ChildOf(child) == CHILDID_SELF) return standard_->get_accState(child, state);
        const std::optional<ControlId> id = Control(child);
        if (!id) return E_INVALIDARG;
        LONG flags = 0;
        if (!Form().Visible(*id)) flags |= STATE_SYSTEM_INVISIBLE;
        if (window::Spec(*id).Kind == ControlKind::Label || window::Spec(*id).Kind == ControlKind::Picture) {
            flags |= STATE_SYSTEM_READONLY;
        }
        if (window::Accessible(*id).Role == AccessibleRole::Link) flags |= STATE_SYSTEM_LINKED;
        SetChild(state, flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override {
        if (help != nullptr) *help = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file != nullptr) *file = nullptr;
        if (topic != nullptr) *topic = 0;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override {
        if (shortcut != nullptr) *shortcut = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        return standard_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        if (children == nullptr) return E_POINTER;
        children->vt = VT_EMPTY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (action == nullptr) return E_POINTER;
        *action = nullptr;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        const std::optional<ControlId> id = Control(child);
        if (!id || window::Spec(*id).Kind != ControlKind::PictureButton) return DISP_E_MEMBERNOTFOUND;
        // Translators: the action a screen reader offers on a button.
        return ToBstr(window::ShownText(text::Translatable("Press")), action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        if (ChildOf(child) == CHILDID_SELF) return standard_->accLocation(left, top, width, height, child);
        const std::optional<ControlId> id = Control(child);
        if (!id) return E_INVALIDARG;
        RECT box = Form().Bounds(*id);
        // The progress bar's box is its whole track, found before the first block too.
        if (window::Accessible(*id).Role == AccessibleRole::ProgressBar) {
            box.right = box.left + window::Scaled(window::Spec(*id).Width, Form().Dpi());
        }
        MapWindowPoints(Form().Handle(), nullptr, reinterpret_cast<POINT*>(&box), 2);
        *left = box.left;
        *top = box.top;
        *width = box.right - box.left;
        *height = box.bottom - box.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (end == nullptr) return E_POINTER;
        end->vt = VT_EMPTY;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        const LONG total = Children().Count;
        const std::optional<LONG> from = ChildOf(start);
        if (!from) return E_INVALIDARG;
        LONG to = 0;
        if (*from == CHILDID_SELF && direction == NAVDIR_FIRSTCHILD) {
            to = 1;
        } else if (*from == CHILDID_SELF && direction == NAVDIR_LASTCHILD) {
            to = total;
        } else if (*from != CHILDID_SELF && (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN)) {
            to = *from + 1;
        } else if (*from != CHILDID_SELF && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP)) {
            to = *from - 1;
        } else if (*from == CHILDID_SELF) {
            return standard_->accNavigate(direction, start, end);
        } else {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (to < 1 || to > total) return S_FALSE;
        return ChildVariant(to, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        if (child == nullptr) return E_POINTER;
        child->vt = VT_EMPTY;
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        POINT point{x, y};
        ScreenToClient(Form().Handle(), &point);
        RECT client{};
        GetClientRect(Form().Handle(), &client);
        if (!PtInRect(&client, point)) return S_FALSE;
        // Later controls lie above earlier ones.
        const AccessibleChildren& children = Children();
        for (LONG i = children.Count; i-- > 0;) {
            const ControlId id = children.Ids[static_cast<std::size_t>(i)];
            const RECT box = Form().Bounds(id);
            if (Form().Visible(id) && PtInRect(&box, point)) return ChildVariant(i + 1, child);
        }
        SetChild(child, CHILDID_SELF);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!Alive()) return CO_E_OBJNOTCONNECTED;
        const std::optional<ControlId> id = Control(child);
        if (!id || window::Spec(*id).Kind != ControlKind::PictureButton) return DISP_E_MEMBERNOTFOUND;
        // As a click does, once the caller has its answer: the click may close the window.
        Win32FlashForm* form = &Form();
        const ControlId button = *id;
        form->Post([form, button] { form->Window().Click(button); });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

private:
    bool Alive() const { return state_->Form != nullptr && standard_ != nullptr; }
    Win32FlashForm& Form() const { return *state_->Form; }
    static std::optional<ControlId> Control(const VARIANT& child) {
        const std::optional<LONG> id = ChildOf(child);
        if (!id) return std::nullopt;
        return Win32Accessibility::ControlOfChild(*id);
    }
    // A native child is its window's object; a drawn one a child id.
    HRESULT ChildVariant(LONG child, VARIANT* out) const {
        const std::optional<ControlId> id = Win32Accessibility::ControlOfChild(child);
        if (id) {
            if (HWND native = Form().ControlHandle(*id); native != nullptr) {
                IDispatch* object = nullptr;
                const HRESULT result = Functions().AccessibleObjectFromWindow(
                    native, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch), reinterpret_cast<void**>(&object));
                if (FAILED(result)) return result;
                SetDispatch(out, object);
                return S_OK;
            }
        }
        SetChild(out, child);
        return S_OK;
    }

    std::shared_ptr<AccessibleState> state_;
    IAccessible* standard_;
};

}  // namespace

IAccessible* NewFormAccessible(std::shared_ptr<AccessibleState> state, IAccessible* standard) {
    return new FormAccessible(std::move(state), standard);
}

}  // namespace quenfall::ui
