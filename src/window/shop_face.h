#pragma once
// What the shop window's decisions (window/shop_window.h) ask of a face (Qt, Win32): a few
// controls, one row per radio, the boxes, the package dialog and one refresh timer. As with
// the main window, a face does what it is told and reports the user's input back to
// ShopWindow, on the window's thread; it decides nothing.
#include <array>
#include <chrono>
#include <cstdint>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "window/window_face.h"

namespace quenfall::window {

// The shop window's controls, in the order they are laid out, top to bottom.
enum class ShopControl : std::uint8_t {
    PackageEdit,    // the package's path, read-only
    SelectButton,   // opens the package dialog (the main window's filter)
    PackageVerdict, // one line: what the package holds, or why it was refused
    RadioList,      // one row per radio: location, node, status, progress, elapsed, outcome
    StationCheck,   // "Upgrade each radio as it is plugged in": station mode
    Summary,        // "3 of 4 radios upgraded"
    UpgradeAllButton,
    RetryFailedButton,
    SaveRecordButton,  // the rows as a CSV file
};
inline constexpr std::size_t ShopControlCount = 9;
// The controls that take the keyboard focus, in their tab order; the verdict and the summary
// take none.
inline constexpr std::array<ShopControl, 7> ShopTabOrder = {
    ShopControl::PackageEdit,  ShopControl::SelectButton,     ShopControl::RadioList,
    ShopControl::StationCheck, ShopControl::UpgradeAllButton, ShopControl::RetryFailedButton,
    ShopControl::SaveRecordButton};

// How a row's run ended, shown with the main window's success and failure icons.
enum class RowOutcome : std::uint8_t { None, Success, Failure };

// One row as the face shows it; every text is final (the face formats nothing).
struct ShopRowView {
    std::u16string Location;  // where the radio is plugged in, or its node when that is unknown
    std::u16string Serial;    // its USB serial, marked when the radio is emulated; empty when it has none
    std::u16string Node;      // the device name it was last seen under
    std::u16string Status;    // the status text of its run, as the main window's status line shows it
    int ProgressWidth = 0;    // 0..ProgressFullWidth (upgrade/upgrade_sequencer.h), as the main window's bar
    std::u16string Elapsed;   // "0:42"; empty before the row's first run
    RowOutcome Outcome = RowOutcome::None;
    friend bool operator==(const ShopRowView&, const ShopRowView&) = default;
};

// While it is on, the face calls ShopWindow::Refresh every ShopRefreshInterval; it is on only
// while runs go on, so an idle window takes no ticks. Rows change only in Refresh, so no row
// is repainted more often than ten times a second whatever the runs' tick rate.
inline constexpr std::chrono::milliseconds ShopRefreshInterval{100};

class ShopFace {
public:
    virtual ~ShopFace() = default;
    virtual void SetCaption(std::u16string_view caption) = 0;
    // PackageEdit, PackageVerdict, Summary and the buttons.
    virtual void SetText(ShopControl control, std::u16string_view text) = 0;
    virtual void SetEnabled(ShopControl control, bool enabled) = 0;
    // The check box's mark (StationCheck). Its clicks come back as ShopWindow::Click, which
    // sets the mark the window keeps.
    virtual void SetChecked(ShopControl control, bool checked) = 0;
    // The button Enter presses wherever the focus is (the face reports Enter as a key all
    // the same; ShopWindow::KeyDown decides).
    virtual void SetDefaultButton(ShopControl button) = 0;
    virtual void SetFocus(ShopControl control) = 0;
    // Rows are added or dropped at the end; a row keeps its index while it is shown.
    virtual void SetRowCount(std::size_t rows) = 0;
    virtual void SetRow(std::size_t index, const ShopRowView& row) = 0;
    // Modal, one OK button, owned by the window; returns when the user has closed it.
    virtual void ShowBox(BoxIcon icon, std::u16string_view caption, std::u16string_view text) = 0;
    // Modal, Yes and No buttons, No the default (a stray Enter answers No); true for Yes.
    virtual bool AskBox(std::u16string_view caption, std::u16string_view text) = 0;
    // As WindowFace::OpenFileName.
    virtual std::optional<ChosenFile> OpenFileName(std::u16string_view filter) = 0;
    // The platform's save dialog, owned by the window, with one filter and a suggested file
    // name; it asks itself before an existing file is replaced. Nothing when cancelled.
    virtual std::optional<ChosenFile> SaveFileName(std::u16string_view filter, std::u16string_view suggested) = 0;
    virtual void SetRefreshTimer(bool on) = 0;
    // Runs task on the window's thread once the handler running now has returned, after what
    // is already queued (a modal box's own loop runs it too); dropped if the window goes first.
    virtual void Post(std::function<void()> task) = 0;
};

}  // namespace quenfall::window
