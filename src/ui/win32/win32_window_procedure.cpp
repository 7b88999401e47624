#include "ui/win32/win32_flash_form.h"

#include <utility>

#include "platform/windows/windows_usb_watch.h"

namespace quenfall::ui {
namespace {

using window::ControlId;
using window::ControlKind;
using window::ControlSpec;

constexpr UINT PostedTaskMessage = WM_APP + 2;
constexpr UINT FirstPaintedMessage = WM_APP + 3;
constexpr UINT_PTR EveryTimerId = 1;

}  // namespace

// ---- the message loop and the window procedure -------------------------------------------------

void Win32FlashForm::Show(int showCommand) {
    ShowWindow(window_handle_, showCommand);
    UpdateWindow(window_handle_);
}

void Win32FlashForm::RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool Win32FlashForm::PreTranslate(MSG& message) {
    if (!IsWindow(window_handle_)) return false;
    if (message.message == WM_KEYDOWN) {
        const std::optional<ControlId> focused = NativeControl(message.hwnd);
        const window::Key key = message.wParam == VK_RETURN ? window::Key::Enter : window::Key::Other;
        if (focused && window_.KeyDown(*focused, key)) return true;
    }
    return IsDialogMessageW(window_handle_, &message) != FALSE;
}

void Win32FlashForm::Post(std::function<void()> task) {
    auto* posted = new std::function<void()>(std::move(task));
    if (!PostMessageW(window_handle_, PostedTaskMessage, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

void Win32FlashForm::Every(UINT milliseconds, std::function<void()> tick) {
    everyTick_ = std::move(tick);
    SetTimer(window_handle_, EveryTimerId, milliseconds, nullptr);
}

LRESULT CALLBACK Win32FlashForm::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* form = reinterpret_cast<Win32FlashForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr || !form->ready_) {
        if (message == WM_ERASEBKGND) return 1;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return form->OnMessage(message, wParam, lParam);
}

LRESULT Win32FlashForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // The device watch sees every message first; the default handling runs for
    // WM_DEVICECHANGE as for any other.
    if (IsUsbDeviceChangeMessage(message, wParam, lParam)) window_.UsbDeviceChanged();

    switch (message) {
    case Win32TimerBank::FiredMessage:
        if (const std::optional<TimerId> id = timers_->Take(wParam, lParam)) {
            window_.Timer(*id);
            timers_->TickDone();
        }
        return 0;
    case PostedTaskMessage: {
        std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
        if (task && *task) (*task)();
        return 0;
    }
    case WM_TIMER:
        if (wParam == EveryTimerId && everyTick_) everyTick_();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam != FALSE) window_.Shown();
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_GETOBJECT:
        if (accessibility_) {
            if (const std::optional<LRESULT> answer = accessibility_->Answer(wParam, lParam)) return *answer;
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_handle_, &paint);
        if (!IsRectEmpty(&paint.rcPaint)) Paint(dc, paint.rcPaint);
        EndPaint(window_handle_, &paint);
        if (!painted_) {
            painted_ = true;
            PostMessageW(window_handle_, FirstPaintedMessage, 0, 0);
        }
        return 0;
    }
    case FirstPaintedMessage:
        if (firstPainted_) firstPainted_();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) >= FirstControlCommand &&
            LOWORD(wParam) < FirstControlCommand + window::ControlCount) {
            window_.Click(static_cast<ControlId>(LOWORD(wParam) - FirstControlCommand));
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        // The read-only Edit1 on the button-face colour.
        if (reinterpret_cast<HWND>(lParam) == At(ControlId::Edit1).Native) {
            SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        MouseDown(point, message == WM_LBUTTONDOWN   ? window::MouseButton::Left
                         : message == WM_RBUTTONDOWN ? window::MouseButton::Right
                                                     : window::MouseButton::Middle);
        return 0;
    }
    case WM_LBUTTONUP:
        MouseUp(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_MOUSELEAVE:
        if (const std::optional<ControlId> left = std::exchange(hovered_, std::nullopt)) {
            Invalidate(*left);
            window_.MouseLeave(*left);
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (const std::optional<ControlId> released = std::exchange(pressed_, std::nullopt)) Invalidate(*released);
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == window_handle_ && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, handCursor_ ? IDC_HAND : IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // Keyboard focus returns to the control that had it, Edit1 at first.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window_handle_, focus)) lastFocus_ = focus;
        }
        break;
    case WM_SETFOCUS:
        if (lastFocus_ != nullptr && IsWindow(lastFocus_)) SetFocus(lastFocus_);
        return 0;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_handle_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi(HIWORD(wParam));
        return 0;
    }
    case WM_CLOSE:
        if (window_.CloseQuery()) DestroyWindow(window_handle_);
        return 0;
    case WM_QUERYENDSESSION:
        return window_.CloseQuery() ? TRUE : FALSE;
    case WM_DESTROY:
        ready_ = false;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_handle_, message, wParam, lParam);
}

void Win32FlashForm::MouseDown(POINT point, window::MouseButton button) {
    const std::optional<ControlId> hit = HitTest(point);
    if (!hit) return;
    if (window::Spec(*hit).Kind == ControlKind::PictureButton) {
        if (button != window::MouseButton::Left) return;
        pressed_ = hit;
        hovered_ = hit;
        SetCapture(window_handle_);
        Invalidate(*hit);
        return;
    }
    window_.MouseDown(*hit, button);
}

void Win32FlashForm::MouseUp(POINT point) {
    const std::optional<ControlId> hit = HitTest(point);
    if (pressed_) {
        const ControlId button = *pressed_;
        pressed_.reset();
        ReleaseCapture();
        Invalidate(button);
        if (hit == button) window_.Click(button);
        return;
    }
    if (hit && window::Spec(*hit).Kind == ControlKind::Label) window_.Click(*hit);
}

void Win32FlashForm::MouseMove(POINT point) {
    const std::optional<ControlId> hit = HitTest(point);
    if (hit != hovered_) {
        if (hovered_) {
            const ControlId left = *hovered_;
            Invalidate(left);
            window_.MouseLeave(left);
        }
        hovered_ = hit;
        if (hit) Invalidate(*hit);
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_handle_, 0};
        TrackMouseEvent(&track);
    }
    if (hit) window_.MouseMove(*hit);
}


}  // namespace quenfall::ui
