#include "ui/win32/win32_oleacc.h"

namespace quenfall::ui::msaa {

namespace {

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
    if (module != nullptr) function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

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

}  // namespace quenfall::ui::msaa
