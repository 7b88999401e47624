#include "win32_window_driver.h"

#include <algorithm>

namespace quenfall::ui::testing {

double NowMs() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::vector<HWND> VisibleDialogs(DWORD thread) {
    std::vector<HWND> dialogs;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM found) -> BOOL {
            wchar_t type[16] = {};
            GetClassNameW(window, type, 16);
            if (std::wstring(type) == L"#32770" && IsWindowVisible(window)) {
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

BoxWatcher::BoxWatcher() : thread_(GetCurrentThreadId()), watcher_([this] { Watch(); }) {}

BoxWatcher::~BoxWatcher() {
    {
        std::lock_guard<std::mutex> locked(lock_);
        quit_ = true;
    }
    watcher_.join();
}

std::vector<SeenBox> BoxWatcher::Boxes() const {
    std::lock_guard<std::mutex> locked(lock_);
    return boxes_;
}

void BoxWatcher::Watch() {
    for (;;) {
        {
            std::lock_guard<std::mutex> locked(lock_);
            if (quit_) return;
        }
        const std::vector<HWND> boxes = VisibleDialogs(thread_);
        for (HWND box : boxes) {
            std::lock_guard<std::mutex> locked(lock_);
            if (std::find(handled_.begin(), handled_.end(), box) != handled_.end()) continue;
            handled_.push_back(box);
            SeenBox seen;
            seen.At = NowMs();
            wchar_t text[1024] = {};
            GetWindowTextW(box, text, 1024);
            seen.Caption = text;
            // A message box's text is the static control numbered 0xFFFF.
            text[0] = 0;
            GetDlgItemTextW(box, 0xFFFF, text, 1024);
            seen.Text = text;
            seen.Owner = GetWindow(box, GW_OWNER);
            EnumChildWindows(
                box,
                [](HWND child, LPARAM hasIcon) -> BOOL {
                    wchar_t type[16] = {};
                    GetClassNameW(child, type, 16);
                    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
                    if (_wcsicmp(type, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
                        SendMessageW(child, STM_GETICON, 0, 0) != 0) {
                        *reinterpret_cast<bool*>(hasIcon) = true;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&seen.HasIcon));
            boxes_.push_back(seen);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(15);
    }
}

bool PumpUntil(Win32FlashForm& form, const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const double end = NowMs() + static_cast<double>(limit.count());
    while (!done()) {
        const double left = end - NowMs();
        if (left <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min(left, 20.0)) + 1, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return done();
            if (form.PreTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

void PumpFor(Win32FlashForm& form, std::chrono::milliseconds duration) {
    PumpUntil(form, [] { return false; }, duration);
}

void ClickAt(Win32FlashForm& form, window::ControlId control) {
    const RECT box = form.Bounds(control);
    const LPARAM at = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    SendMessageW(form.Handle(), WM_MOUSEMOVE, 0, at);
    SendMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(form.Handle(), WM_LBUTTONUP, 0, at);
}

}  // namespace quenfall::ui::testing
