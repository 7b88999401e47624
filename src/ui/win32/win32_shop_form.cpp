#include "ui/win32/win32_shop_form.h"


#include <stdexcept>

#include "platform/windows/windows_usb_watch.h"
#include "ui/win32/system_library.h"
#include "ui/win32/win32_open_dialog.h"
#include "ui/win32/win32_fonts.h"
#include "ui/win32/win32_text.h"
#include "ui/win32/win32_window_class.h"
#include "window/shop_texts.h"
#include "window/window_texts.h"
#include "text/translation.h"

namespace quenfall::ui {
namespace {

using window::ShopControl;

constexpr wchar_t ClassName[] = L"QuenfallShopForm";
constexpr UINT_PTR RefreshTimerId = 1;
constexpr UINT FirstPaintedMessage = WM_APP + 1;
constexpr UINT PostedTaskMessage = WM_APP + 2;
using window::ShopLeastHeight;
using window::ShopLeastWidth;
using window::ShopOpenHeight;
using window::ShopOpenWidth;

// What a control shows from its creation until the decisions set its text as the window is
// shown, so that nothing is painted blank.
std::u16string InitialText(ShopControl control) {
    switch (control) {
    case ShopControl::SelectButton: return window::ShownText(window::ShopSelectButtonText);
    case ShopControl::PackageVerdict: return window::ShownText(window::NoPackageText);
    case ShopControl::UpgradeAllButton: return window::ShownText(window::UpgradeAllButtonText);
    case ShopControl::RetryFailedButton: return window::ShownText(window::RetryFailedButtonText);
    case ShopControl::StationCheck: return window::ShownText(window::StationCheckText);
    case ShopControl::SaveRecordButton: return window::ShownText(window::SaveRecordButtonText);
    default: return {};
    }
}

}  // namespace

Win32ShopForm::Win32ShopForm(Options options) : options_(std::move(options)) {
    [[maybe_unused]] static const ATOM registered = RegisterFormClass(ClassName, Procedure);
    handle_ = CreateWindowExW(WS_EX_CONTROLPARENT, ClassName, ToWide(window::ShownText(window::ShopCaption)).c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, ShopOpenWidth, ShopOpenHeight,
                              nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (handle_ == nullptr) throw std::runtime_error(text::Tr("the window cannot be created"));
    dpi_ = WindowDpi(handle_);
    CreateControls();
    ApplyDpi(dpi_);
    SetWindowPos(handle_, nullptr, 0, 0, Px(ShopOpenWidth), Px(ShopOpenHeight), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The watch lasts as long as the window; a failed registration leaves the list as it is
    // until the next Select or run.
    if (options_.RegisterWatch) watch_ = RegisterUsbDeviceWatch(handle_).Handle;
}

Win32ShopForm::~Win32ShopForm() {
    destroying_ = true;
    if (IsWindow(handle_)) DestroyWindow(handle_);
    if (font_ != nullptr) DeleteObject(font_);
    DestroyImageListFromSystem(rowHeight_);
}

void Win32ShopForm::CreateControls() {
    InitCommonControlsFromSystem(ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES);
    auto make = [&](ShopControl control, const wchar_t* type, const std::wstring& text, DWORD style, DWORD extended = 0) {
        const auto command = static_cast<INT_PTR>(FirstControlCommand + static_cast<int>(control));
        native_[Index(control)] = CreateWindowExW(extended, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                                  handle_, reinterpret_cast<HMENU>(command), nullptr, nullptr);
    };
    // Created in the layout table's order, which is also ShopTabOrder's (a dialog tabs in
    // creation order); a label just before a control names it for assistive technology.
    for (const window::ShopControlSpec& spec : window::ShopControls) {
        if (!spec.Label.empty()) {
            labels_[Index(spec.Id)] = CreateWindowExW(0, L"STATIC", ToWide(window::ShownText(spec.Label)).c_str(),
                                                      WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 0, 0, handle_, nullptr,
                                                      nullptr, nullptr);
        }
        switch (spec.Kind) {
        case window::ShopControlKind::Edit:
            make(spec.Id, L"EDIT", L"", WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
            break;
        case window::ShopControlKind::Button:
            // Until the decisions name the default button as the window is shown.
            make(spec.Id, L"BUTTON", ToWide(InitialText(spec.Id)),
                 WS_TABSTOP | (spec.Id == ShopControl::UpgradeAllButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
            break;
        case window::ShopControlKind::Text:
            make(spec.Id, L"STATIC", ToWide(InitialText(spec.Id)), SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS);
            break;
        case window::ShopControlKind::List: CreateList(); break;
        case window::ShopControlKind::Check:
            make(spec.Id, L"BUTTON", ToWide(InitialText(spec.Id)), WS_TABSTOP | BS_AUTOCHECKBOX);
            break;
        }
    }
}

void Win32ShopForm::ApplyDpi(int dpi) {
    dpi_ = dpi;
    if (font_ != nullptr) DeleteObject(font_);
    font_ = CreateFontW(-MulDiv(9, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Shell Dlg 2");
    for (HWND control : native_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (HWND label : labels_) {
        if (label != nullptr) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    // Rows tall enough for the outcome icon at this DPI.
    DestroyImageListFromSystem(rowHeight_);
    rowHeight_ = CreateImageListFromSystem(1, Px(22), ILC_COLOR32);
    HWND list = native_[Index(ShopControl::RadioList)];
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(rowHeight_));
    SizeColumns();
    Arrange();
    InvalidateRect(handle_, nullptr, TRUE);
}

void Win32ShopForm::Arrange() {
    RECT client{};
    GetClientRect(handle_, &client);
    const int margin = Px(10);
    const int gap = Px(6);
    const int line = Px(24);
    const int button = Px(110);
    const int width = client.right - 2 * margin;
    auto place = [](HWND control, int x, int y, int w, int h) { MoveWindow(control, x, y, w < 0 ? 0 : w, h, FALSE); };
    int y = margin;
    const int labelWidth = Px(60);
    place(labels_[Index(ShopControl::PackageEdit)], margin, y + Px(4), labelWidth, Px(18));
    place(native_[Index(ShopControl::PackageEdit)], margin + labelWidth, y, width - labelWidth - Px(90) - gap, line);
    place(native_[Index(ShopControl::SelectButton)], client.right - margin - Px(90), y, Px(90), line);
    y += line + gap;
    place(native_[Index(ShopControl::PackageVerdict)], margin, y, width, Px(18));
    y += Px(18) + gap;
    place(labels_[Index(ShopControl::RadioList)], margin, y, width, Px(18));
    y += Px(18);
    const int bottom = client.bottom - margin - line;
    place(native_[Index(ShopControl::RadioList)], margin, y, width, bottom - gap - y);
    const int check = Px(250);
    place(native_[Index(ShopControl::StationCheck)], margin, bottom, check, line);
    place(native_[Index(ShopControl::Summary)], margin + check + gap, bottom + Px(4), width - 3 * (button + gap) - check - gap,
          Px(18));
    place(native_[Index(ShopControl::SaveRecordButton)], client.right - margin - button, bottom, button, line);
    place(native_[Index(ShopControl::RetryFailedButton)], client.right - margin - 2 * button - gap, bottom, button, line);
    place(native_[Index(ShopControl::UpgradeAllButton)], client.right - margin - 3 * button - 2 * gap, bottom, button, line);
    SizeColumns();
    InvalidateRect(handle_, nullptr, TRUE);
}

void Win32ShopForm::Show(int showCommand) {
    ShowWindow(handle_, showCommand);
    UpdateWindow(handle_);
    if (window_ != nullptr) window_->Shown();
}

void Win32ShopForm::RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool Win32ShopForm::PreTranslate(MSG& message) {
    if (!IsWindow(handle_)) return false;
    if (message.message == WM_KEYDOWN && window_ != nullptr) {
        if (const auto focused = ControlOf(message.hwnd)) {
            const window::Key key = message.wParam == VK_RETURN ? window::Key::Enter : window::Key::Other;
            if (window_->KeyDown(*focused, key)) return true;
        }
    }
    return IsDialogMessageW(handle_, &message) != FALSE;
}

std::optional<ShopControl> Win32ShopForm::ControlOf(HWND handle) const {
    for (HWND at = handle; at != nullptr && at != handle_; at = GetParent(at)) {
        for (std::size_t i = 0; i < native_.size(); ++i) {
            if (native_[i] == at) return static_cast<ShopControl>(i);
        }
    }
    return std::nullopt;
}

std::u16string Win32ShopForm::Text(ShopControl control) const {
    HWND native = native_[Index(control)];
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(native)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(native, text.data(), static_cast<int>(text.size()))));
    return FromWide(text);
}

// ---- ShopFace ----------------------------------------------------------------------------

void Win32ShopForm::SetCaption(std::u16string_view caption) { SetWindowTextW(handle_, ToWide(caption).c_str()); }

void Win32ShopForm::SetText(ShopControl control, std::u16string_view text) {
    if (control == ShopControl::RadioList) return;
    SetWindowTextW(native_[Index(control)], ToWide(text).c_str());
}

void Win32ShopForm::SetEnabled(ShopControl control, bool enabled) { EnableWindow(native_[Index(control)], enabled); }

void Win32ShopForm::SetChecked(ShopControl control, bool checked) {
    SendMessageW(native_[Index(control)], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32ShopForm::Checked(ShopControl control) const {
    return SendMessageW(native_[Index(control)], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32ShopForm::SetDefaultButton(ShopControl button) {
    defaultButton_ = button;
    for (ShopControl each : {ShopControl::SelectButton, ShopControl::UpgradeAllButton, ShopControl::RetryFailedButton}) {
        SendMessageW(native_[Index(each)], BM_SETSTYLE, each == button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

void Win32ShopForm::SetFocus(ShopControl control) { ::SetFocus(native_[Index(control)]); }

void Win32ShopForm::ShowBox(window::BoxIcon icon, std::u16string_view caption, std::u16string_view text) {
    MessageBoxW(handle_, ToWide(text).c_str(), ToWide(caption).c_str(),
                MB_OK | (icon == window::BoxIcon::Error ? MB_ICONERROR : 0));
}

bool Win32ShopForm::AskBox(std::u16string_view caption, std::u16string_view text) {
    if (options_.Answer) return options_.Answer(text);
    return MessageBoxW(handle_, ToWide(text).c_str(), ToWide(caption).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

std::optional<window::ChosenFile> Win32ShopForm::OpenFileName(std::u16string_view filter) {
    if (options_.ChooseFile) return options_.ChooseFile(NativeFilter(filter));
    return ShowOpenDialog(handle_, filter);
}

std::optional<window::ChosenFile> Win32ShopForm::SaveFileName(std::u16string_view filter, std::u16string_view suggested) {
    if (options_.ChooseSaveFile) return options_.ChooseSaveFile(NativeFilter(filter), suggested);
    return ShowSaveDialog(handle_, filter, suggested);
}

void Win32ShopForm::SetRefreshTimer(bool on) {
    if (on == refreshOn_) return;
    refreshOn_ = on;
    if (on) {
        SetTimer(handle_, RefreshTimerId, static_cast<UINT>(window::ShopRefreshInterval.count()), nullptr);
    } else {
        KillTimer(handle_, RefreshTimerId);
    }
}

void Win32ShopForm::Post(std::function<void()> task) {
    posted_.push_back(std::move(task));
    if (!PostMessageW(handle_, PostedTaskMessage, 0, 0)) posted_.pop_back();
}

// ---- messages ----------------------------------------------------------------------------

LRESULT CALLBACK Win32ShopForm::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<Win32ShopForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr || form->handle_ == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return form->OnMessage(message, wParam, lParam);
}

LRESULT Win32ShopForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (window_ != nullptr && IsUsbDeviceChangeMessage(message, wParam, lParam)) window_->UsbDeviceChanged();
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && window_ != nullptr) {
            const int index = LOWORD(wParam) - FirstControlCommand;
            if (index >= 0 && index < static_cast<int>(window::ShopControlCount)) window_->Click(static_cast<ShopControl>(index));
        }
        return 0;
    case DM_GETDEFID:
        if (defaultButton_) return MAKELONG(FirstControlCommand + static_cast<int>(*defaultButton_), DC_HASDEFID);
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == native_[Index(ShopControl::RadioList)] && header->code == NM_CUSTOMDRAW) {
            return CustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
        }
        break;
    }
    case WM_TIMER:
        if (wParam == RefreshTimerId && window_ != nullptr) window_->Refresh();
        return 0;
    case WM_SIZE:
        Arrange();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = POINT{Px(ShopLeastWidth), Px(ShopLeastHeight)};
        return 0;
    }
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ApplyDpi(HIWORD(wParam));
        SetWindowPos(handle_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(handle_, &paint);
        EndPaint(handle_, &paint);
        if (!painted_) {
            painted_ = true;
            // After the children have painted too.
            PostMessageW(handle_, FirstPaintedMessage, 0, 0);
        }
        return 0;
    }
    case FirstPaintedMessage:
        if (firstPainted_) firstPainted_();
        return 0;
    case PostedTaskMessage:
        // One message per task, so the tasks run in the order they were posted.
        if (!posted_.empty()) {
            const std::function<void()> task = std::move(posted_.front());
            posted_.pop_front();
            if (task) task();
        }
        return 0;
    case WM_CLOSE:
        if (window_ == nullptr || window_->CloseQuery()) DestroyWindow(handle_);
        return 0;
    case WM_DESTROY:
        KillTimer(handle_, RefreshTimerId);
        if (!destroying_) PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(handle_, message, wParam, lParam);
}

}  // namespace quenfall::ui
