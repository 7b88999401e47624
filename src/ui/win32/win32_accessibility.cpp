#include "ui/win32/win32_accessibility.h"

#include <oleacc.h>

#include <algorithm>
#include <array>
#include <string>

#include "ui/win32/win32_flash_form.h"
#include "window/window_accessibility.h"
#include "window/window_texts.h"

namespace quenfall::ui {

using window::AccessibleRole;
using window::ControlId;
using window::ControlKind;

// What the accessible objects handed out read the window through. Assistive technology may
// keep an object after the window has gone: form is null then, and every call fails.
struct AccessibleState {
    Win32FlashForm* Form = nullptr;
    HWND Edit = nullptr;
    WNDPROC EditProcedure = nullptr;
    IAccessible* FormObject = nullptr;
};

namespace {

constexpr wchar_t StateProperty[] = L"QuenfallAccessibleState";

// oleacc and the BSTR allocator, from the system folder only, the first time something asks.
struct Oleacc {
    decltype(&::LresultFromObject) LresultFromObject = nullptr;
    decltype(&::CreateStdAccessibleObject) CreateStdAccessibleObject = nullptr;
    decltype(&::AccessibleObjectFromWindow) AccessibleObjectFromWindow = nullptr;
    decltype(&::SysAllocStringLen) SysAllocStringLen = nullptr;
    decltype(&::CoInitializeEx) CoInitializeEx = nullptr;
    bool Loaded() const {
        return LresultFromObject != nullptr && CreateStdAccessibleObject != nullptr &&
               AccessibleObjectFromWindow != nullptr && SysAllocStringLen != nullptr && CoInitializeEx != nullptr;
    }
};

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
    if (module != nullptr) function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const Oleacc& Functions() {
    static const Oleacc functions = [] {
        Oleacc loaded;
        HMODULE oleacc = LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        HMODULE oleaut = LoadLibraryExW(L"oleaut32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        HMODULE ole = LoadLibraryExW(L"ole32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        Resolve(oleacc, "LresultFromObject", loaded.LresultFromObject);
        Resolve(oleacc, "CreateStdAccessibleObject", loaded.CreateStdAccessibleObject);
        Resolve(oleacc, "AccessibleObjectFromWindow", loaded.AccessibleObjectFromWindow);
        Resolve(oleaut, "SysAllocStringLen", loaded.SysAllocStringLen);
        Resolve(ole, "CoInitializeEx", loaded.CoInitializeEx);
        return loaded;
    }();
    return functions;
}

// An object is handed out through COM's marshalling, which needs the window's thread in an
// apartment; the program never needed COM before, so it enters one when first asked, the
// single-threaded one that a window's thread belongs in, and stays in it. A thread already
// in an apartment keeps its own.
LRESULT HandOut(WPARAM wParam, IAccessible* object) {
    thread_local const bool inApartment = [] {
        const HRESULT result = Functions().CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        return SUCCEEDED(result) || result == RPC_E_CHANGED_MODE;
    }();
    (void)inApartment;
    return Functions().LresultFromObject(__uuidof(IAccessible), wParam, object);
}

HRESULT ToBstr(std::u16string_view text, BSTR* out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = Functions().SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

std::optional<LONG> ChildOf(const VARIANT& child) {
    if (child.vt != VT_I4) return std::nullopt;
    return child.lVal;
}

void SetChild(VARIANT* out, LONG child) {
    out->vt = VT_I4;
    out->lVal = child;
}

void SetDispatch(VARIANT* out, IDispatch* object) {
    out->vt = VT_DISPATCH;
    out->pdispVal = object;
}

// IUnknown and IDispatch (no type information: clients call IAccessible directly).
class AccessibleBase : public IAccessible {
public:
    virtual ~AccessibleBase() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

private:
    LONG references_ = 1;
};

// The standard object of a native control with another name: Edit1, named by its label,
// which the form draws and the standard object therefore cannot find.
class RenamedAccessible final : public AccessibleBase {
public:
    RenamedAccessible(IAccessible* inner, std::u16string name) : inner_(inner), name_(std::move(name)) {}
    ~RenamedAccessible() override { inner_->Release(); }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (ChildOf(child) == CHILDID_SELF) return ToBstr(name_, name);
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

// The layout's controls that say something, in layout order; child id = position + 1.
struct ChildList {
    std::array<ControlId, window::ControlCount> Ids{};
    LONG Count = 0;
};

const ChildList& Children() {
    static const ChildList children = [] {
        ChildList list;
        for (const window::ControlSpec& spec : window::Layout()) {
            if (window::Accessible(spec.Id).Role != AccessibleRole::Decoration) list.Ids[static_cast<std::size_t>(list.Count++)] = spec.Id;
        }
        return list;
    }();
    return children;
}

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

// The form's client area: the window's caption as name, the layout's controls as children.
// The drawn controls are simple children (child ids); the three native ones are their own
// windows' objects. Parent, focus and the area itself come from the standard object.
class FormAccessible final : public AccessibleBase {
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
        std::u16string_view description = window::Accessible(*id).Description;
        if (description.empty()) description = window::Spec(*id).Hint;
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
        return ToBstr(u"Press", action);
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
        const ChildList& children = Children();
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
            auto* renamed = new RenamedAccessible(standard, std::u16string(window::AccessibleName(ControlId::Edit1, {}, label)));
            const LRESULT answer = HandOut(wParam, renamed);
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

Win32Accessibility::Win32Accessibility(Win32FlashForm& form) : state_(std::make_shared<AccessibleState>()) {
    state_->Form = &form;
    if (HWND edit = form.ControlHandle(ControlId::Edit1); edit != nullptr) {
        state_->Edit = edit;
        SetPropW(edit, StateProperty, state_.get());
        state_->EditProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProcedure)));
    }
}

Win32Accessibility::~Win32Accessibility() {
    if (state_->Edit != nullptr && IsWindow(state_->Edit)) {
        SetWindowLongPtrW(state_->Edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state_->EditProcedure));
        RemovePropW(state_->Edit, StateProperty);
    }
    state_->Form = nullptr;
    if (state_->FormObject != nullptr) state_->FormObject->Release();
    state_->FormObject = nullptr;
}

std::optional<LRESULT> Win32Accessibility::Answer(WPARAM wParam, LPARAM lParam) {
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || state_->Form == nullptr || !Functions().Loaded()) return std::nullopt;
    if (state_->FormObject == nullptr) {
        IAccessible* standard = nullptr;
        if (FAILED(Functions().CreateStdAccessibleObject(state_->Form->Handle(), OBJID_CLIENT, __uuidof(IAccessible),
                                                          reinterpret_cast<void**>(&standard)))) {
            return std::nullopt;
        }
        state_->FormObject = new FormAccessible(state_, standard);
    }
    return HandOut(wParam, state_->FormObject);
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
    }
    NotifyWinEvent(event, state_->Form->Handle(), OBJID_CLIENT, *child);
}

std::optional<LONG> Win32Accessibility::ChildId(ControlId id) {
    const ChildList& children = Children();
    for (LONG i = 0; i < children.Count; ++i) {
        if (children.Ids[static_cast<std::size_t>(i)] == id) return i + 1;
    }
    return std::nullopt;
}

std::optional<ControlId> Win32Accessibility::ControlOfChild(LONG child) {
    const ChildList& children = Children();
    if (child < 1 || child > children.Count) return std::nullopt;
    return children.Ids[static_cast<std::size_t>(child - 1)];
}

}  // namespace quenfall::ui
