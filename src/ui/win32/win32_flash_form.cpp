#include "ui/win32/win32_flash_form.h"

#include <commctrl.h>
#include <shellapi.h>

#include <stdexcept>

#include "platform/windows/windows_usb_watch.h"
#include "ui/win32/system_library.h"
#include "ui/win32/win32_open_dialog.h"
#include "ui/win32/win32_window_class.h"
#include "window/tooltips.h"
#include "window/window_texts.h"
#include "text/translation.h"

namespace quenfall::ui {
namespace {

using window::ControlId;
using window::ControlKind;
using window::ControlSpec;

constexpr wchar_t ClassName[] = L"QuenfallFlashForm";
// Moving by the system command: the move command with a non-zero low nibble follows the
// pointer instead of the keyboard.
constexpr WPARAM MoveWithPointer = 0xF017;

bool Contains(const RECT& box, POINT point) { return PtInRect(&box, point) != FALSE; }

}  // namespace

// ---- construction ----------------------------------------------------------------------------

HWND Win32FlashForm::CreateNativeWindow(Win32FlashForm* form) {
    [[maybe_unused]] static const ATOM registered = RegisterFormClass(ClassName, Procedure);
    // No frame and no title bar; the system menu and the minimise box give the taskbar
    // button its menu and let it restore the window.
    HWND created = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, ClassName, L"",
                                   WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0, 0, window::ClientWidth,
                                   window::ClientHeight, nullptr, nullptr, GetModuleHandleW(nullptr), form);
    if (created == nullptr) throw std::runtime_error(text::Tr("the window cannot be created"));
    return created;
}

Win32FlashForm::Win32FlashForm(DeviceLink& link, Options options)
    : options_(std::move(options)),
      window_handle_(CreateNativeWindow(this)),
      timers_(std::make_unique<Win32TimerBank>(window_handle_)),
      window_(link, *this, *timers_, options_.ApplicationTitle.empty() ? ProgramTitle() : options_.ApplicationTitle),
      fonts_(window_handle_) {
    for (const ControlSpec& spec : window::Layout()) {
        Control& control = At(spec.Id);
        control.Text = window::ShownText(spec.Text);
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
    accessibility_ = std::make_unique<Win32Accessibility>(*this);
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
    tooltips_.reset();
    if (IsWindow(window_handle_)) DestroyWindow(window_handle_);
    fonts_.Clear();
    if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

void Win32FlashForm::CreateControls() {
    InitCommonControlsFromSystem(ICC_STANDARD_CLASSES | ICC_TAB_CLASSES);
    // The input controls are native windows, created in the window's tab order, which the
    // dialog keys follow; everything else is drawn by the form.
    for (const ControlId id : window::TabOrder()) {
        const ControlSpec& spec = window::Spec(id);
        const auto command = static_cast<INT_PTR>(FirstControlCommand + static_cast<int>(spec.Id));
        if (spec.Kind == ControlKind::Edit) {
            At(spec.Id).Native = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, 0, 0, 0,
                                                 0, window_handle_, reinterpret_cast<HMENU>(command), nullptr, nullptr);
        } else if (spec.Kind == ControlKind::PushButton) {
            At(spec.Id).Native = CreateWindowExW(0, L"BUTTON", ToWide(window::ShownText(spec.Text)).c_str(),
                                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
                                                 window_handle_, reinterpret_cast<HMENU>(command), nullptr, nullptr);
        }
    }
    if (const std::vector<ControlId> order = window::TabOrder(); !order.empty()) lastFocus_ = At(order.front()).Native;
    tooltips_ = std::make_unique<Tooltips>(window_handle_);
}

void Win32FlashForm::ApplyDpi(int dpi) {
    dpi_ = dpi;
    fonts_.Clear();
    SetWindowPos(window_handle_, nullptr, 0, 0, Px(window::ClientWidth), Px(window::ClientHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlSpec& spec : window::Layout()) {
        Control& control = At(spec.Id);
        if (control.Native != nullptr) {
            MoveWindow(control.Native, Px(spec.Left), Px(spec.Top), Px(spec.Width), Px(spec.Height), TRUE);
            FitText(spec.Id, Text(spec.Id));
            SendMessageW(control.Native, WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont(spec.Id)), TRUE);
        } else if (spec.Font != nullptr) {
            FitText(spec.Id, control.Text);
        }
        if (spec.Kind == ControlKind::Label) MeasureLabel(spec.Id);
        PlaceTooltip(spec.Id);
    }
    InvalidateRect(window_handle_, nullptr, FALSE);
}


void Win32FlashForm::PlaceTooltip(ControlId id) {
    // A label's box follows its text, so its tool is placed again when the text changes.
    if (const std::u16string text = window::Tooltip(id); !text.empty()) tooltips_->Place(id, Bounds(id), text);
}

std::optional<ControlId> Win32FlashForm::NativeControl(HWND handle) const {
    for (const ControlSpec& spec : window::Layout()) {
        if (handle != nullptr && At(spec.Id).Native == handle) return spec.Id;
    }
    return std::nullopt;
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
    return FromWide(text);
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


// ---- what the window's decisions ask of the face ---------------------------------------------

void Win32FlashForm::SetTooltip(ControlId id, std::u16string_view text) {
    // A control of its own (Edit1) gets the pointer's messages itself: its tool follows it.
    if (const HWND native = At(id).Native) {
        tooltips_->PlaceOver(id, native, text);
    } else if (id == ControlId::Image3) {
        // The bar grows from nothing: its tool covers the box a finished upload fills.
        const ControlSpec& spec = window::Spec(id);
        const RECT box{Px(spec.Left), Px(spec.Top), Px(spec.Left + spec.Width), Px(spec.Top + spec.Height)};
        tooltips_->Place(id, box, text);
        if (accessibility_) accessibility_->Changed(id, Win32Accessibility::Change::Description);
    } else {
        tooltips_->Place(id, Bounds(id), text);
    }
}

void Win32FlashForm::FitText(ControlId id, std::u16string_view text) {
    HDC dc = GetDC(window_handle_);
    At(id).FontPixels = window::FitFont(id, text, dpi_, [dc](const ControlSpec& control, std::u16string_view shown,
                                                              int devicePixels, int dpi) {
                            return MeasureGdiText(dc, control, shown, devicePixels, dpi);
                        }).PixelHeight;
    ReleaseDC(window_handle_, dc);
}

void Win32FlashForm::SetText(ControlId id, std::u16string_view text) {
    Control& control = At(id);
    if (control.Native != nullptr) {
        SetWindowTextW(control.Native, ToWide(text).c_str());
        if (window::Spec(id).Font != nullptr) {
            FitText(id, text);
            SendMessageW(control.Native, WM_SETFONT, reinterpret_cast<WPARAM>(ControlFont(id)), TRUE);
        }
        return;
    }
    Invalidate(id);
    control.Text = std::u16string(text);
    if (window::Spec(id).Kind == ControlKind::Label) {
        FitText(id, control.Text);
        MeasureLabel(id);
        PlaceTooltip(id);
    }
    Invalidate(id);
    if (accessibility_) accessibility_->Changed(id, Win32Accessibility::Change::Text);
}

void Win32FlashForm::SetCaption(std::u16string_view caption) { SetWindowTextW(window_handle_, ToWide(caption).c_str()); }

void Win32FlashForm::SetWidth(ControlId id, int layoutPixels) {
    Control& control = At(id);
    if (control.Width == layoutPixels) return;
    Invalidate(id);
    control.Width = layoutPixels;
    Invalidate(id);
    if (accessibility_) accessibility_->Changed(id, Win32Accessibility::Change::Width);
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
    if (accessibility_) accessibility_->Changed(id, Win32Accessibility::Change::Visibility);
}

void Win32FlashForm::ShowBox(window::BoxOwner owner, window::BoxIcon icon, std::u16string_view caption,
                             std::u16string_view text) {
    // Owned by the window, which is disabled meanwhile; or unowned and centred on the
    // screen, still modal for every window of the program.
    UINT style = MB_OK | (icon == window::BoxIcon::Error ? MB_ICONERROR : 0);
    if (owner == window::BoxOwner::Screen) style |= MB_TASKMODAL;
    MessageBoxW(owner == window::BoxOwner::Window ? window_handle_ : nullptr, ToWide(text).c_str(), ToWide(caption).c_str(), style);
}

bool Win32FlashForm::AskBox(std::u16string_view caption, std::u16string_view text) {
    if (options_.Answer) return options_.Answer(text);
    return MessageBoxW(window_handle_, ToWide(text).c_str(), ToWide(caption).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

std::optional<window::ChosenFile> Win32FlashForm::OpenFileName(std::u16string_view filter) {
    if (options_.ChooseFile) return options_.ChooseFile(NativeFilter(filter));
    return ShowOpenDialog(window_handle_, filter);
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
    ShellExecuteW(nullptr, L"open", ToWide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The whole window and every control, not only what was already marked for painting: an icon
// just shown is drawn whole before the thread blocks.
void Win32FlashForm::PaintNow() {
    RedrawWindow(window_handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
}

}  // namespace quenfall::ui