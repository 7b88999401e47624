#include "ui/win32/system_library.h"

#include <commctrl.h>

#include <initializer_list>

namespace quenfall::ui {

namespace {

// Loaded once and never freed: the controls and the timer period live as long as the
// process does.
HMODULE SystemLibrary(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

template <typename Function>
Function Entry(const wchar_t* library, const char* name) {
    HMODULE module = SystemLibrary(library);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

using TimePeriod = UINT(WINAPI*)(UINT);

}  // namespace

bool InitCommonControlsFromSystem(DWORD classes) {
    using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    static const Init init = Entry<Init>(L"comctl32.dll", "InitCommonControlsEx");
    if (init == nullptr) return false;
    INITCOMMONCONTROLSEX common{sizeof common, classes};
    return init(&common) != FALSE;
}

HIMAGELIST CreateImageListFromSystem(int width, int height, UINT flags) {
    using Create = HIMAGELIST(WINAPI*)(int, int, UINT, int, int);
    static const Create create = Entry<Create>(L"comctl32.dll", "ImageList_Create");
    return create != nullptr ? create(width, height, flags, 0, 0) : nullptr;
}

void DestroyImageListFromSystem(HIMAGELIST list) {
    using Destroy = BOOL(WINAPI*)(HIMAGELIST);
    static const Destroy destroy = Entry<Destroy>(L"comctl32.dll", "ImageList_Destroy");
    if (destroy != nullptr && list != nullptr) destroy(list);
}

void PreloadLazySystemLibraries() {
    for (const wchar_t* name : {L"msimg32.dll"}) (void)SystemLibrary(name);
}

bool BeginFineTimerPeriod() {
    static const TimePeriod begin = Entry<TimePeriod>(L"winmm.dll", "timeBeginPeriod");
    return begin != nullptr && begin(1) == 0;
}

void EndFineTimerPeriod() {
    static const TimePeriod end = Entry<TimePeriod>(L"winmm.dll", "timeEndPeriod");
    if (end != nullptr) end(1);
}

}  // namespace quenfall::ui
