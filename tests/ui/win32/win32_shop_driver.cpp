// Drives a running quenfall.exe --shop from outside, as a technician at the keyboard would:
// waits for the window "Quenfall Shop" and for Upgrade all to have the focus, presses Enter
// there (prints "pressed"), waits until the summary line reads the text given, prints it,
// then closes the window. Exit 0 when all of that happened, 1 otherwise (and why).
//
//   win32_shop_driver.exe "4 of 4 radios upgraded"
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    // WM_GETTEXT crosses processes; GetWindowText would not read another program's control.
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// Polls until found() gives a window, for at most seconds.
template <typename Find>
HWND Await(Find found, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (HWND window = found()) return window;
        Sleep(100);
    }
    return nullptr;
}

int Fail(const char* why) {
    std::printf("%s\n", why);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return Fail("usage: win32_shop_driver.exe SUMMARY");
    const std::wstring wanted = argv[1];
    HWND shop = Await([] { return FindWindowW(nullptr, L"Quenfall Shop"); }, 120);
    if (shop == nullptr) return Fail("no window Quenfall Shop");
    HWND button = Await(
        [&]() -> HWND {
            HWND focus = FocusOf(shop);
            return focus != nullptr && TextOf(focus) == L"Upgrade all" ? focus : nullptr;
        },
        60);
    if (button == nullptr) return Fail("Upgrade all never had the focus");
    PostMessageW(button, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(button, WM_KEYUP, VK_RETURN, 0xC0000001);
    std::printf("pressed\n");
    std::fflush(stdout);
    // The summary is the static that reads "N of M radio(s) upgraded" once the runs end.
    HWND summary = Await(
        [&]() -> HWND {
            for (HWND child = GetWindow(shop, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
                if (TextOf(child) == wanted) return child;
            }
            return nullptr;
        },
        300);
    if (summary == nullptr) return Fail("the summary never read as wanted");
    std::printf("%ls\n", wanted.c_str());
    std::fflush(stdout);
    PostMessageW(shop, WM_CLOSE, 0, 0);
    return Await([&]() -> HWND { return IsWindow(shop) ? nullptr : shop; }, 30) != nullptr ? 0 : Fail("it did not close");
}
