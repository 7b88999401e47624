#pragma once
// What the accessible objects call in the system: oleacc, the BSTR allocator and COM's
// apartment, loaded from the system folder the first time assistive technology asks, so the
// program imports none of them; and the VARIANT and BSTR conventions every object answers in.
#include <windows.h>
#include <oleacc.h>

#include <optional>
#include <string_view>

namespace quenfall::ui::msaa {

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

// Loaded on the first call; a function the system lacks stays null (Loaded() says so).
const Oleacc& Functions();

// The answer to WM_GETOBJECT that hands out an object.
LRESULT HandOut(WPARAM wParam, IAccessible* object);

HRESULT ToBstr(std::u16string_view text, BSTR* out);
// The child id a VARIANT names; nothing when it names none.
std::optional<LONG> ChildOf(const VARIANT& child);
void SetChild(VARIANT* out, LONG child);
void SetDispatch(VARIANT* out, IDispatch* object);

}  // namespace quenfall::ui::msaa
