#pragma once
// The Win32 face of the one window: a borderless top-level window with its own taskbar
// button, drawing the layout's pictures and labels itself (through an off-screen bitmap, so
// status and progress changes never flicker) and holding the three input controls (Edit1,
// Button1, Button2) as native child windows. What happens on a click, a tick or a device
// change is decided by window::FlashWindow; this class renders it and reports the user's
// input, the timers' firings and WM_DEVICECHANGE to it.
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/win32/win32_accessibility.h"
#include "ui/win32/win32_back_buffer.h"
#include "ui/win32/win32_fonts.h"
#include "ui/win32/win32_pictures.h"
#include "ui/win32/win32_text.h"
#include "ui/win32/win32_timer_bank.h"
#include "ui/win32/win32_tooltips.h"
#include "upgrade/device_link.h"
#include "window/flash_window.h"
#include "window/window_face.h"

namespace quenfall::ui {

struct Win32FlashFormOptions {
    // Registers the window for USB device notifications (off for the emulated radio, whose
    // comings and goings are reported by the radio itself).
    bool RegisterWatch = true;
    // Stands in for the open dialog (tests hand a path to the code the dialog feeds);
    // the platform's dialog when empty. Gets the native filter ("desc\0patterns\0\0").
    std::function<std::optional<window::ChosenFile>(const std::wstring& filter)> ChooseFile;
    // Stands in for the user answering a question box (tests); gets the question.
    std::function<bool(std::u16string_view question)> Answer;
    // The caption of the boxes; by default the application title from the executable's name.
    std::u16string ApplicationTitle;
};

class Win32FlashForm : private window::WindowFace {
public:
    using Options = Win32FlashFormOptions;
    // Creates the window and its controls (not yet visible) and registers the device watch.
    Win32FlashForm(DeviceLink& link, Options options = Options());
    ~Win32FlashForm() override;
    Win32FlashForm(const Win32FlashForm&) = delete;
    Win32FlashForm& operator=(const Win32FlashForm&) = delete;

    // Shows the window (which runs FormShow) and paints it.
    void Show(int showCommand = SW_SHOWNORMAL);
    // Runs the message loop until the window has closed.
    void RunMessageLoop();
    // What the loop does with a message before dispatching it: a key goes to the window's
    // decisions first, then the dialog keys (Tab) move the focus. True when it was used up.
    bool PreTranslate(MSG& message);

    HWND Handle() const { return window_handle_; }
    window::FlashWindow& Window() { return window_; }
    bool DeviceWatchRegistered() const { return DeviceNotifyHandle != nullptr; }
    // Runs task on the window's thread once the current handler has returned.
    void Post(std::function<void()> task);
    // Calls tick every interval on the window's thread, beside the seven timers.
    void Every(UINT milliseconds, std::function<void()> tick);
    // Called once, after the window's first paint.
    void OnFirstPaint(std::function<void()> painted) { firstPainted_ = std::move(painted); }

    // What the controls show, for tests and screenshots: texts (labels keep their carriage
    // returns), visibility, and the box in client pixels.
    std::u16string Text(window::ControlId control) const;
    bool Visible(window::ControlId control) const;
    int LayoutWidth(window::ControlId control) const { return At(control).Width; }  // pictures and buttons
    RECT Bounds(window::ControlId control) const;
    HWND ControlHandle(window::ControlId control) const;  // Edit1, Button1, Button2; else null
    std::u16string TooltipText(window::ControlId control) const { return tooltips_->Text(control); }
    bool HandCursor() const { return handCursor_; }
    int Dpi() const { return dpi_; }

private:
    struct Control {
        std::u16string Text;
        bool Visible = true;
        int Width = 0;   // layout pixels, for pictures and buttons
        SIZE Shown{};    // device pixels: a label's measured text
        int FontPixels = 0;  // layout pixels: the character height its text fits at
        HWND Native = nullptr;
    };

    // The WM_COMMAND identifier of a native control: this plus its ControlId.
    static constexpr int FirstControlCommand = 100;

    static HWND CreateNativeWindow(Win32FlashForm* form);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void MouseDown(POINT point, window::MouseButton button);
    void MouseUp(POINT point);
    void MouseMove(POINT point);
    std::optional<window::ControlId> NativeControl(HWND handle) const;
    void CreateControls();
    void ApplyDpi(int dpi);
    void PlaceTooltip(window::ControlId id);
    // Drawing the drawn controls (win32_form_painting.cpp).
    void Paint(HDC target, const RECT& dirty);
    void DrawControls(HDC dc, const RECT& dirty);
    void MeasureLabel(window::ControlId id);
    void Invalidate(window::ControlId id);
    std::optional<window::ControlId> HitTest(POINT point) const;
    HFONT Font(const window::FontSpec& spec) { return fonts_.Get(spec, dpi_); }
    // The control's font at the size its text fits (window/text_fit.h).
    HFONT ControlFont(window::ControlId id) { return fonts_.Get(*window::Spec(id).Font, dpi_, At(id).FontPixels); }
    void FitText(window::ControlId id, std::u16string_view text);
    int Px(int layoutLength) const { return window::Scaled(layoutLength, dpi_); }
    Control& At(window::ControlId id) { return controls_[static_cast<std::size_t>(id)]; }
    const Control& At(window::ControlId id) const { return controls_[static_cast<std::size_t>(id)]; }

    // WindowFace
    void SetText(window::ControlId control, std::u16string_view text) override;
    void SetCaption(std::u16string_view caption) override;
    void SetTooltip(window::ControlId control, std::u16string_view text) override;
    void SetWidth(window::ControlId control, int layoutPixels) override;
    void SetVisible(window::ControlId control, bool visible) override;
    bool AskBox(std::u16string_view caption, std::u16string_view text) override;
    void ShowBox(window::BoxOwner owner, window::BoxIcon icon, std::u16string_view caption,
                 std::u16string_view text) override;
    std::optional<window::ChosenFile> OpenFileName(std::u16string_view filter) override;
    void RequestClose() override;
    void Minimise() override;
    void StartSystemMove() override;
    void SetHandCursor(bool hand) override;
    void OpenAddress(std::u16string_view address) override;
    void PaintNow() override;

    Options options_;
    HWND window_handle_ = nullptr;
    std::unique_ptr<Win32TimerBank> timers_;
    window::FlashWindow window_;
    HDEVNOTIFY DeviceNotifyHandle = nullptr;
    std::array<Control, window::ControlCount> controls_{};
    int dpi_ = window::DesignDpi;
    FontCache fonts_;
    std::unique_ptr<Tooltips> tooltips_;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    std::optional<window::ControlId> hovered_;
    std::optional<window::ControlId> pressed_;  // a picture button held down
    bool handCursor_ = false;
    bool painted_ = false;
    bool ready_ = false;  // the members exist: messages may reach the window's decisions
    HWND lastFocus_ = nullptr;
    BackBuffer buffer_;
    std::function<void()> firstPainted_;
    std::function<void()> everyTick_;
    std::unique_ptr<Win32Accessibility> accessibility_;
};

}  // namespace quenfall::ui
