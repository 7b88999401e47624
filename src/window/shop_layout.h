#pragma once
// The shop window's layout, once for both faces (src/ui/qt, src/ui/win32): its controls in
// the order they are laid out, each with its kind and the label that names it, the radio
// list's columns (order, heading, width, what a cell shows) and the window's size. Unlike
// the main window's fixed layout, the shop window is resizable: each face lays the controls
// out in rows with its own toolkit, and the list's stretching column takes what the others
// leave.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "window/shop_face.h"
#include "window/shop_texts.h"

namespace quenfall::window {

enum class ShopControlKind : std::uint8_t {
    Edit,    // a read-only line of text that takes the focus
    Button,
    Text,    // a line of text that takes no focus
    List,    // the radio list
    Check,   // a check box whose own text says what it is
};

struct ShopControlSpec {
    ShopControl Id;
    ShopControlKind Kind;
    // Shown before the control (above the list), and what assistive technology calls it;
    // empty for a control whose own text says what it is.
    std::string_view Label;  // English; shown as ShownText(Label)
    int Line;        // controls of one line sit side by side, lines top to bottom
    bool Stretches;  // takes the width its line leaves (the list: the height the window leaves)
};

// In ShopControl order, which is the layout's, top to bottom and left to right: the package's
// line (its label, path and Select), the verdict, the list (its label above it), then the
// station mode's check box, the summary and the two buttons. A label sits before its control, except the list's, which
// heads it.
inline constexpr std::array<ShopControlSpec, ShopControlCount> ShopControls = {{
    {ShopControl::PackageEdit, ShopControlKind::Edit, PackagePathName, 0, true},
    {ShopControl::SelectButton, ShopControlKind::Button, {}, 0, false},
    {ShopControl::PackageVerdict, ShopControlKind::Text, {}, 1, true},
    {ShopControl::RadioList, ShopControlKind::List, RadioListName, 2, true},
    {ShopControl::StationCheck, ShopControlKind::Check, {}, 3, false},
    {ShopControl::Summary, ShopControlKind::Text, {}, 3, true},
    {ShopControl::UpgradeAllButton, ShopControlKind::Button, {}, 3, false},
    {ShopControl::RetryFailedButton, ShopControlKind::Button, {}, 3, false},
    {ShopControl::SaveRecordButton, ShopControlKind::Button, {}, 3, false},
}};

// The radio list's columns, in their order.
enum class ShopColumn : std::uint8_t { Location, Serial, Node, Status, Progress, Elapsed, Outcome };
inline constexpr std::size_t ShopColumnCount = 7;

// What a cell shows: a row's text, or a picture the face paints from the row.
enum class ShopCell : std::uint8_t {
    Text,
    ProgressBar,  // the main window's bar, ShopRowView::ProgressWidth of ProgressFullWidth
    OutcomeIcon,  // the main window's success or failure icon, ShopRowView::Outcome
};

struct ShopColumnSpec {
    ShopColumn Id;
    std::string_view Heading;  // English; shown as ShownText(Heading)
    int Width;  // at 96 dots per inch; 0 for the one column that takes what the others leave
    ShopCell Cell;
};

// Narrow enough that at the window's least width the status column keeps its least width
// and nothing scrolls sideways.
inline constexpr std::array<ShopColumnSpec, ShopColumnCount> ShopColumns = {{
    {ShopColumn::Location, LocationHeading, 80, ShopCell::Text},  // "1-1.2", "1400-2.3", or a node
    {ShopColumn::Serial, SerialHeading, 150, ShopCell::Text},      // "EMULATED-0002 (emulated)"
    {ShopColumn::Node, NodeHeading, 80, ShopCell::Text},           // "/dev/sdb"
    {ShopColumn::Status, StatusHeading, 0, ShopCell::Text},
    {ShopColumn::Progress, ProgressHeading, 110, ShopCell::ProgressBar},
    {ShopColumn::Elapsed, ElapsedHeading, 100, ShopCell::Text},    // "100%, 1:02:03", "45%, 0:12 left"
    {ShopColumn::Outcome, OutcomeHeading, 60, ShopCell::OutcomeIcon},  // wide enough for its heading
}};

// The least width of the column that takes what the others leave.
inline constexpr int StretchingColumnLeastWidth = 120;

// The window's size at 96 dots per inch as it opens, and the least it may be made.
inline constexpr int ShopOpenWidth = 980;
inline constexpr int ShopOpenHeight = 420;
inline constexpr int ShopLeastWidth = 760;
inline constexpr int ShopLeastHeight = 260;

constexpr const ShopControlSpec& ShopControlOf(ShopControl control) {
    return ShopControls[static_cast<std::size_t>(control)];
}
constexpr const ShopColumnSpec& ShopColumnOf(ShopColumn column) {
    return ShopColumns[static_cast<std::size_t>(column)];
}

// The text of a Text column's cell; empty for a painted one.
std::u16string_view CellText(const ShopRowView& row, ShopColumn column);

}  // namespace quenfall::window
