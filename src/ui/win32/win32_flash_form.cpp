#include "ui/win32/win32_flash_form.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <stdexcept>

#include "link/windows/device_notification.h"
#include "ui/win32/system_library.h"
#include "window/window_texts.h"

namespace quenfall::ui {
namespace {

using window::ControlId;
using window::ControlKind;
using window::ControlSpec;

constexpr wchar_t ClassName[] = L"QuenfallFlashForm";
constexpr UINT PostedTaskMessage = WM_APP + 2;
constexpr UINT FirstPaintedMessage = WM_APP + 3;
constexpr UINT_PTR EveryTimerId = 1;
constexpr int FirstControlCommand = 100;
// Moving by the system command: the move command with a non-zero low nibble follows the
// pointer instead of the keyboard.
constexpr WPARAM MoveWithPointer = 0xF017;

std::wstring W(std::u16string_view text) { return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size()); }
std::u16string U(std::wstring_view text) { return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size()); }

// A label breaks lines only where its text holds one; a carriage return alone is one.
std::wstring LabelLines(std::u16string_view text) {
    std::wstring lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        lines += static_cast<wchar_t>(text[i]);
        if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')) lines += L'\n';
    }
    return lines;
}

int WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : window::DesignDpi;
}

bool FaceInstalled(HDC dc, std::u16string_view face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    const std::wstring name = W(face.substr(0, LF_FACESIZE - 1));
    std::copy(name.begin(), name.end(), wanted.lfFaceName);
    bool found = false;
    EnumFontFamiliesExW(
        dc, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
            *reinterpret_cast<bool*>(found) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// "description|patterns|..." as the open dialog wants it: pairs of NUL-ended strings,
// ended by one more NUL.
std::wstring NativeFilter(std::u16string_view filter) {
    std::wstring native = W(filter);
    std::replace(native.begin(), native.end(), L'|', L'\0');
    native += L'\0';
    native += L'\0';
    return native;
}

bool Contains(const RECT& box, POINT point) { return PtInRect(&box, point) != FALSE; }

}  // namespace

std::u16string ProgramTitle() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return window::ApplicationTitle(U(name), [](std::u16string_view text) {
        std::wstring lower = W(text);
        if (!lower.empty()) CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
        return U(lower);
    });
}

// ---- construction ----------------------------------------------------------------------------

HWND Win32FlashForm::CreateNativeWindow(Win32FlashForm* form) {
    static const ATOM registered = [] {
        WNDCLASSEXW type{};
        type.cbSize = sizeof type;
        type.lpfnWndProc = Procedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        type.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        type.lpszClassName = ClassName;
        return RegisterClassExW(&type);
    }();
    if (registered == 0) throw std::runtime_error("the window class cannot be registered");
    // No frame and no title bar; the system menu and the minimise box give the taskbar
    // button its menu and let it restore the window.
    HWND created = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, ClassName, L"",
                                   WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0, 0, window::ClientWidth,
                                   window::ClientHeight, nullptr, nullptr, GetModuleHandleW(nullptr), form);
    if (created == nullptr) throw std::runtime_error("the window cannot be created");
    return created;
}

Win32FlashForm::Win32FlashForm(DeviceLink& link, Options options)
    : options_(std::move(options)),
      window_handle_(CreateNativeWindow(this)),
      timers_(std::make_unique<Win32TimerBank>(window_handle_)),
      window_(link, *this, *timers_, options_.ApplicationTitle.empty() ? ProgramTitle() : options_.ApplicationTitle) {
    for (const ControlSpec& spec : window::Layout()) {
        Control& control = At(spec.Id);
        control.Text = std::u16string(spec.Text);
        control.Visible = spec.Visible;
        control.Width = spec.Width;
    }
    dpi_ = WindowDpi(window_handle_);
    CreateControls();
    ApplyDpi(dpi_);
    // Centred on the desktop's work area.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(window_handle_, nullptr, work.left + (work.right - work.left - Px(window::ClientWidth)) / 2,
                 work.top + (work.bottom - work.top - Px(window::ClientHeight)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    bigIcon_ = MakeApplicationIcon(GetSystemMetrics(SM_CXICON));
    smallIcon_ = MakeApplicationIcon(GetSystemMetrics(SM_CXSMICON));
    SendMessageW(window_handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(window_handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    ready_ = true;

    // The watch is registered on the window, which exists from here on. Never withdrawn.
    if (options_.RegisterWatch) {
        const DeviceWatchRegistration registration = RegisterUsbDeviceWatch(window_handle_);
        DeviceNotifyHandle = registration.Handle;
        if (DeviceNotifyHandle == nullptr) window_.RegistrationFailed(registration.ErrorText);
    }
}

Win32FlashForm::~Win32FlashForm() {
    ready_ = false;
    timers_.reset();
    if (IsWindow(window_handle_)) DestroyWindow(window_handle_);
    for (HFONT font : fonts_) {
        if (font != nullptr) DeleteObject(font);
    }
    if (buffer_ != nullptr) DeleteObject(buffer_);
    if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

void Win32FlashForm::CreateControls() {
    InitCommonControlsFromSystem(ICC_STANDARD_CLASSES | ICC_TAB_CLASSES);
    // The three input controls are native windows, created in the layout's order, which is
    // their tab order; everything else is drawn by the form.
    for (const ControlSpec& spec : window::Layout()) {
        const auto command = static_cast<INT_PTR>(FirstControlCommand + static_cast<int>(spec.Id));
        if (spec.Kind == ControlKind::Edit) {
            At(spec.Id).Native = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, 0, 0, 0,
                                                 0, window_handle_, reinterpret_cast<HMENU>(command), nullptr, nullptr);
        } else if (spec.Kind == ControlKind::PushButton) {
            At(spec.Id).Native = CreateWindowExW(0, L"BUTTON", W(spec.Text).c_str(),
                                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
                                                 window_handle_, reinterpret_cast<HMENU>(command), nullptr, nullptr);
        }
    }
    lastFocus_ = At(ControlId::Edit1).Native;
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_handle_, nullptr,
                               nullptr, nullptr);
}

void Win32FlashForm::ApplyDpi(int dpi) {
    dpi_ = dpi;
    for (HFONT& font : fonts_) {
        if (font != nullptr) DeleteObject(font);
        font = nullptr;
    }
    fontSpecs_.fill(nullptr);
    RECT frame{};
    GetWindowRect(window_handle_, &frame);
    SetWindowPos(window_handle_, nullptr, 0, 0, Px(window::ClientWidth), Px(window::ClientHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlSpec& spec : window::Layout()) {
        Control& control = At(spec.Id);
        if (control.Native != nullptr) {
            MoveWindow(control.Native, Px(spec.Left), Px(spec.Top), Px(spec.Width), Px(spec.Height), TRUE);
            SendMessageW(control.Native, WM_SETFONT, reinterpret_cast<WPARAM>(Font(*spec.Font)), TRUE);
        }
        if (spec.Kind == ControlKind::Label) MeasureLabel(spec.Id);
        if (!spec.Hint.empty() && tooltip_ != nullptr) {
            std::wstring hint = W(spec.Hint);
            TOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_SUBCLASS;
            tool.hwnd = window_handle_;
            tool.uId = static_cast<UINT_PTR>(spec.Id);
            tool.rect = Bounds(spec.Id);
            tool.lpszText = hint.data();
            SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    InvalidateRect(window_handle_, nullptr, FALSE);
}

HFONT Win32FlashForm::Font(const window::FontSpec& spec) {
    for (std::size_t i = 0; i < fontSpecs_.size(); ++i) {
        if (fontSpecs_[i] == &spec) return fonts_[i];
    }
    HDC dc = GetDC(window_handle_);
    std::size_t chosen = 0;
    while (chosen + 1 < spec.Faces.size() && !FaceInstalled(dc, spec.Faces[chosen])) ++chosen;
    ReleaseDC(window_handle_, dc);
    // The layout's character set goes with the layout's face; a stand-in face is asked for
    // by its name alone, or the font mapper would pick any face of that character set.
    const BYTE charset = chosen == 0 ? static_cast<BYTE>(spec.CharacterSet) : static_cast<BYTE>(DEFAULT_CHARSET);
    HFONT font = CreateFontW(-Px(spec.PixelHeight), 0, 0, 0, spec.Bold ? FW_BOLD : FW_NORMAL, FALSE,
                             spec.Underline ? TRUE : FALSE, FALSE, charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, W(spec.Faces[chosen]).c_str());
    for (std::size_t i = 0; i < fontSpecs_.size(); ++i) {
        if (fontSpecs_[i] == nullptr) {
            fontSpecs_[i] = &spec;
            fonts_[i] = font;
            break;
        }
    }
    return font;
}

COLORREF Win32FlashForm::TextColour(const ControlSpec& spec) const {
    if (!spec.HasColour) return GetSysColor(COLOR_WINDOWTEXT);
    return RGB(spec.Colour.Red, spec.Colour.Green, spec.Colour.Blue);
}

void Win32FlashForm::MeasureLabel(ControlId id) {
    Control& control = At(id);
    const ControlSpec& spec = window::Spec(id);
    HDC dc = GetDC(window_handle_);
    HGDIOBJ old = SelectObject(dc, Font(*spec.Font));
    RECT box{0, 0, 0, 0};
    const std::wstring lines = LabelLines(control.Text);
    if (lines.empty()) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        control.Shown = SIZE{0, metrics.tmHeight};
    } else {
        DrawTextW(dc, lines.c_str(), static_cast<int>(lines.size()), &box, DT_CALCRECT | DT_LEFT | DT_NOPREFIX);
        control.Shown = SIZE{box.right - box.left, box.bottom - box.top};
    }
    SelectObject(dc, old);
    ReleaseDC(window_handle_, dc);
}

// ---- what the form shows -----------------------------------------------------------------------

RECT Win32FlashForm::Bounds(ControlId id) const {
    const ControlSpec& spec = window::Spec(id);
    const Control& control = At(id);
    const int left = Px(spec.Left);
    const int top = Px(spec.Top);
    if (spec.Kind == ControlKind::Label) return RECT{left, top, left + control.Shown.cx, top + control.Shown.cy};
    if (spec.Id == ControlId::Image1) {
        RECT client{};
        GetClientRect(window_handle_, &client);
        return client;
    }
    return RECT{left, top, left + Px(control.Width), top + Px(spec.Height)};
}

std::u16string Win32FlashForm::Text(ControlId id) const {
    const Control& control = At(id);
    if (control.Native == nullptr) return control.Text;
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control.Native)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control.Native, text.data(), static_cast<int>(text.size()))));
    return U(text);
}

bool Win32FlashForm::Visible(ControlId id) const {
    const Control& control = At(id);
    return control.Native != nullptr ? IsWindowVisible(control.Native) != FALSE : control.Visible;
}

HWND Win32FlashForm::ControlHandle(ControlId id) const { return At(id).Native; }

void Win32FlashForm::Invalidate(ControlId id) {
    const RECT box = Bounds(id);
    InvalidateRect(window_handle_, &box, FALSE);
}

std::optional<ControlId> Win32FlashForm::HitTest(POINT point) const {
    // Later controls lie above earlier ones; the native ones get their own mouse messages.
    const auto layout = window::Layout();
    for (auto spec = layout.rbegin(); spec != layout.rend(); ++spec) {
        const Control& control = At(spec->Id);
        if (control.Native != nullptr || !control.Visible) continue;
        if (Contains(Bounds(spec->Id), point)) return spec->Id;
    }
    return std::nullopt;
}

void Win32FlashForm::Paint(HDC target, const RECT& dirty) {
    RECT client{};
    GetClientRect(window_handle_, &client);
    const SIZE size{client.right, client.bottom};
    if (buffer_ == nullptr || size.cx != bufferSize_.cx || size.cy != bufferSize_.cy) {
        if (buffer_ != nullptr) DeleteObject(buffer_);
        buffer_ = CreateCompatibleBitmap(target, size.cx, size.cy);
        bufferSize_ = size;
    }
    // Everything is drawn off-screen and copied in one piece: the status line and the
    // progress bar change on every tick without flicker.
    HDC dc = CreateCompatibleDC(target);
    HGDIOBJ oldBitmap = SelectObject(dc, buffer_);
    IntersectClipRect(dc, dirty.left, dirty.top, dirty.right, dirty.bottom);
    const double scale = static_cast<double>(dpi_) / window::DesignDpi;
    SetBkMode(dc, TRANSPARENT);
    for (const ControlSpec& spec : window::Layout()) {
        const Control& control = At(spec.Id);
        if (control.Native != nullptr || !control.Visible) continue;
        RECT box = Bounds(spec.Id);
        RECT overlap{};
        if (!IntersectRect(&overlap, &box, &dirty)) continue;
        switch (spec.Kind) {
        case ControlKind::Picture:
            if (spec.PictureWidth != 0) {
                // Drawn unscaled (in layout pixels) at the box's top left.
                box.right = box.left + Px(spec.PictureWidth);
                box.bottom = box.top + Px(spec.PictureHeight);
            }
            DrawPicture(dc, spec.Shows, box, scale);
            break;
        case ControlKind::PictureButton: {
            FaceState state = FaceState::Normal;
            if (pressed_ == spec.Id && hovered_ == spec.Id) {
                state = FaceState::Pressed;
            } else if (hovered_ == spec.Id) {
                state = FaceState::Hover;
            }
            DrawFace(dc, spec.Shows, box, Px(spec.PictureWidth), Px(spec.PictureHeight), state, scale);
            break;
        }
        case ControlKind::Label: {
            HGDIOBJ oldFont = SelectObject(dc, Font(*spec.Font));
            SetTextColor(dc, TextColour(spec));
            const std::wstring lines = LabelLines(control.Text);
            DrawTextW(dc, lines.c_str(), static_cast<int>(lines.size()), &box, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_NOCLIP);
            SelectObject(dc, oldFont);
            break;
        }
        default:
            break;
        }
    }
    BitBlt(target, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, dc, dirty.left, dirty.top,
           SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
}

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
    // Enter presses the focused push button, as on every desktop; outside a dialog Windows
    // leaves that to the program.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
        (message.hwnd == At(ControlId::Button1).Native || message.hwnd == At(ControlId::Button2).Native)) {
        SendMessageW(message.hwnd, BM_CLICK, 0, 0);
        return true;
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
        if (hovered_) {
            const ControlId left = *hovered_;
            hovered_.reset();
            Invalidate(left);
            window_.MouseLeave(left);
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (pressed_) {
            const ControlId released = *pressed_;
            pressed_.reset();
            Invalidate(released);
        }
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

// ---- what the window's decisions ask of the face ---------------------------------------------

void Win32FlashForm::SetText(ControlId id, std::u16string_view text) {
    Control& control = At(id);
    if (control.Native != nullptr) {
        SetWindowTextW(control.Native, W(text).c_str());
        return;
    }
    Invalidate(id);
    control.Text = std::u16string(text);
    if (window::Spec(id).Kind == ControlKind::Label) MeasureLabel(id);
    Invalidate(id);
}

void Win32FlashForm::SetCaption(std::u16string_view caption) { SetWindowTextW(window_handle_, W(caption).c_str()); }

void Win32FlashForm::SetWidth(ControlId id, int layoutPixels) {
    Control& control = At(id);
    if (control.Width == layoutPixels) return;
    Invalidate(id);
    control.Width = layoutPixels;
    Invalidate(id);
}

void Win32FlashForm::SetVisible(ControlId id, bool visible) {
    Control& control = At(id);
    if (control.Native != nullptr) {
        ShowWindow(control.Native, visible ? SW_SHOW : SW_HIDE);
        return;
    }
    if (control.Visible == visible) return;
    control.Visible = visible;
    Invalidate(id);
}

void Win32FlashForm::ShowBox(window::BoxOwner owner, window::BoxIcon icon, std::u16string_view caption,
                             std::u16string_view text) {
    // Owned by the window, which is disabled meanwhile; or unowned and centred on the
    // screen, still modal for every window of the program.
    UINT style = MB_OK | (icon == window::BoxIcon::Error ? MB_ICONERROR : 0);
    if (owner == window::BoxOwner::Screen) style |= MB_TASKMODAL;
    MessageBoxW(owner == window::BoxOwner::Window ? window_handle_ : nullptr, W(text).c_str(), W(caption).c_str(), style);
}

std::optional<window::ChosenFile> Win32FlashForm::OpenFileName(std::u16string_view filter) {
    const std::wstring native = NativeFilter(filter);
    if (options_.ChooseFile) return options_.ChooseFile(native);
    std::wstring file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_handle_;
    dialog.lpstrFilter = native.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    file.resize(file.find(L'\0'));
    return window::ChosenFile{std::filesystem::path(file), U(file)};
}

void Win32FlashForm::RequestClose() { SendMessageW(window_handle_, WM_CLOSE, 0, 0); }

void Win32FlashForm::Minimise() { ShowWindow(window_handle_, SW_MINIMIZE); }

void Win32FlashForm::StartSystemMove() {
    ReleaseCapture();
    SendMessageW(window_handle_, WM_SYSCOMMAND, MoveWithPointer, 0);
}

void Win32FlashForm::SetHandCursor(bool hand) {
    handCursor_ = hand;
    POINT cursor{};
    GetCursorPos(&cursor);
    if (WindowFromPoint(cursor) == window_handle_) SetCursor(LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
}

void Win32FlashForm::OpenAddress(std::u16string_view address) {
    ShellExecuteW(nullptr, L"open", W(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Win32FlashForm::PaintNow() { RedrawWindow(window_handle_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

}  // namespace quenfall::ui
