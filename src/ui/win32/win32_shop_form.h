#pragma once
// The Win32 face of the shop window: an ordinary resizable top-level window of native
// controls (the package's edit, Select, its verdict, a report-style list view of the radios,
// the summary, Upgrade all and Retry failed). The list view's progress and outcome columns
// are drawn by the form, with the main window's progress bar and icons, at the window's DPI.
// What any input means is decided by window::ShopWindow; this class renders what it is told
// and hands it every click, key, refresh tick, USB notice and close request.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window/shop_face.h"
#include "window/shop_layout.h"
#include "window/shop_window.h"

namespace quenfall::ui {

struct Win32ShopFormOptions {
    // Registers the window for USB device notifications (off for the emulated crate).
    bool RegisterWatch = true;
    // Stands in for the open dialog (tests); gets the native filter.
    std::function<std::optional<window::ChosenFile>(const std::wstring& filter)> ChooseFile;
    // Stands in for the save dialog (tests); gets the native filter and the suggested name.
    std::function<std::optional<window::ChosenFile>(const std::wstring& filter, std::u16string_view suggested)> ChooseSaveFile;
    // Stands in for the user answering a question box (tests); gets the question.
    std::function<bool(std::u16string_view question)> Answer;
};

class Win32ShopForm final : public window::ShopFace {
public:
    using Options = Win32ShopFormOptions;
    // Creates the window and its controls, not yet visible.
    explicit Win32ShopForm(Options options = Options());
    ~Win32ShopForm() override;
    Win32ShopForm(const Win32ShopForm&) = delete;
    Win32ShopForm& operator=(const Win32ShopForm&) = delete;

    // The decisions the input goes to; before Show.
    void Attach(window::ShopWindow& window) { window_ = &window; }
    // Shows the window and tells the decisions it is shown.
    void Show(int showCommand = SW_SHOWNORMAL);
    void RunMessageLoop();
    // A key goes to the decisions first, then the dialog keys move the focus. True when used.
    bool PreTranslate(MSG& message);
    // Called once, after the window's first paint.
    void OnFirstPaint(std::function<void()> painted) { firstPainted_ = std::move(painted); }

    // What the window shows, for tests and the screenshot.
    HWND Handle() const { return handle_; }
    HWND ControlHandle(window::ShopControl control) const { return native_[Index(control)]; }
    std::u16string Text(window::ShopControl control) const;
    std::u16string CellText(std::size_t row, window::ShopColumn column) const;
    std::size_t ShownRows() const;
    const window::ShopRowView& ShownRow(std::size_t row) const { return rows_.at(row); }
    std::optional<window::ShopControl> DefaultButton() const { return defaultButton_; }
    bool Checked(window::ShopControl control) const;
    bool RefreshTimerOn() const { return refreshOn_; }
    int Dpi() const { return dpi_; }

    // ShopFace
    void SetCaption(std::u16string_view caption) override;
    void SetText(window::ShopControl control, std::u16string_view text) override;
    void SetEnabled(window::ShopControl control, bool enabled) override;
    void SetChecked(window::ShopControl control, bool checked) override;
    void SetDefaultButton(window::ShopControl button) override;
    void SetFocus(window::ShopControl control) override;
    void SetRowCount(std::size_t rows) override;
    void SetRow(std::size_t index, const window::ShopRowView& row) override;
    void ShowBox(window::BoxIcon icon, std::u16string_view caption, std::u16string_view text) override;
    bool AskBox(std::u16string_view caption, std::u16string_view text) override;
    std::optional<window::ChosenFile> OpenFileName(std::u16string_view filter) override;
    std::optional<window::ChosenFile> SaveFileName(std::u16string_view filter, std::u16string_view suggested) override;
    void SetRefreshTimer(bool on) override;
    void Post(std::function<void()> task) override;

private:
    static constexpr int FirstControlCommand = 200;
    static std::size_t Index(window::ShopControl control) { return static_cast<std::size_t>(control); }
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<window::ShopControl> ControlOf(HWND handle) const;
    void CreateControls();
    void ApplyDpi(int dpi);
    void Arrange();
    int Px(int length) const { return MulDiv(length, dpi_, 96); }
    // The list view (win32_shop_list.cpp).
    void CreateList();
    void SizeColumns();
    void ShowRowTexts(std::size_t index);
    LRESULT CustomDraw(NMLVCUSTOMDRAW& draw);
    void DrawProgress(HDC dc, RECT cell, int width);
    void DrawOutcome(HDC dc, RECT cell, window::RowOutcome outcome);

    Options options_;
    HWND handle_ = nullptr;
    window::ShopWindow* window_ = nullptr;
    std::array<HWND, window::ShopControlCount> native_{};
    // The labels of the layout table, each naming its control for assistive technology.
    std::array<HWND, window::ShopControlCount> labels_{};
    HFONT font_ = nullptr;
    HIMAGELIST rowHeight_ = nullptr;  // an empty image list that sets the rows' height
    HDEVNOTIFY watch_ = nullptr;
    int dpi_ = 96;
    std::vector<window::ShopRowView> rows_;
    std::optional<window::ShopControl> defaultButton_;
    bool refreshOn_ = false;
    bool painted_ = false;
    bool destroying_ = false;  // by the destructor: nothing more to quit
    std::function<void()> firstPainted_;
    // Posted tasks, each announced by a message; those left go with the form.
    std::deque<std::function<void()>> posted_;
};

}  // namespace quenfall::ui
