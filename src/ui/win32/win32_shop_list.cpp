// The shop window's list of radios: a report-style list view whose text columns the list
// view draws and whose progress and outcome columns the form draws itself, with the main
// window's progress bar and success and failure icons, scaled to the window's DPI.
#include <algorithm>

#include "ui/win32/win32_pictures.h"
#include "ui/win32/win32_shop_form.h"
#include "ui/win32/win32_text.h"
#include "upgrade/upgrade_sequencer.h"
#include "window/shop_texts.h"
#include "window/window_texts.h"

namespace quenfall::ui {
namespace {

using window::ShopCell;
using window::ShopColumns;
using window::ShopControl;

constexpr int ColumnCount = static_cast<int>(ShopColumns.size());

}  // namespace

void Win32ShopForm::CreateList() {
    const auto command = static_cast<INT_PTR>(FirstControlCommand + static_cast<int>(ShopControl::RadioList));
    // Its window text names it too where the label before it is not read.
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, ToWide(window::ShownText(window::RadioListName)).c_str(),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                    LVS_NOSORTHEADER,
                                0, 0, 0, 0, handle_, reinterpret_cast<HMENU>(command), nullptr, nullptr);
    native_[Index(ShopControl::RadioList)] = list;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    for (int i = 0; i < ColumnCount; ++i) {
        std::wstring heading = ToWide(window::ShownText(ShopColumns[i].Heading));
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = heading.data();
        column.cx = Px(ShopColumns[i].Width);
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

void Win32ShopForm::SizeColumns() {
    HWND list = native_[Index(ShopControl::RadioList)];
    if (list == nullptr) return;
    RECT client{};
    GetClientRect(list, &client);
    int fixed = 0;
    int stretching = -1;
    for (int i = 0; i < ColumnCount; ++i) {
        if (ShopColumns[i].Width == 0) {
            stretching = i;
            continue;
        }
        fixed += Px(ShopColumns[i].Width);
        SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), Px(ShopColumns[i].Width));
    }
    if (stretching < 0) return;
    const int rest = std::max<int>(Px(window::StretchingColumnLeastWidth), client.right - fixed);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(stretching), rest);
}

std::size_t Win32ShopForm::ShownRows() const {
    return static_cast<std::size_t>(SendMessageW(native_[Index(ShopControl::RadioList)], LVM_GETITEMCOUNT, 0, 0));
}

std::u16string Win32ShopForm::CellText(std::size_t row, window::ShopColumn column) const {
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = static_cast<int>(column);
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(native_[Index(ShopControl::RadioList)], LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return FromWide(text);
}

void Win32ShopForm::SetRowCount(std::size_t count) {
    HWND list = native_[Index(ShopControl::RadioList)];
    while (rows_.size() > count) {
        rows_.pop_back();
        SendMessageW(list, LVM_DELETEITEM, rows_.size(), 0);
    }
    while (rows_.size() < count) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(rows_.size());
        item.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        rows_.emplace_back();
    }
}

void Win32ShopForm::SetRow(std::size_t index, const window::ShopRowView& row) {
    if (index >= rows_.size()) return;
    rows_[index] = row;
    ShowRowTexts(index);
    SendMessageW(native_[Index(ShopControl::RadioList)], LVM_REDRAWITEMS, index, index);
}

void Win32ShopForm::ShowRowTexts(std::size_t index) {
    const window::ShopRowView& row = rows_[index];
    HWND list = native_[Index(ShopControl::RadioList)];
    auto put = [&](int column, const std::u16string& text) {
        std::wstring wide = ToWide(text);
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = wide.data();
        SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    };
    for (int i = 0; i < ColumnCount; ++i) {
        if (ShopColumns[i].Cell == ShopCell::Text) put(i, std::u16string(window::CellText(row, ShopColumns[i].Id)));
    }
}

LRESULT Win32ShopForm::CustomDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const std::size_t index = draw.nmcd.dwItemSpec;
        const int column = draw.iSubItem;
        if (index >= rows_.size() || column < 0 || column >= ColumnCount || ShopColumns[column].Cell == ShopCell::Text)
            return CDRF_DODEFAULT;
        RECT cell{};
        cell.top = column;
        cell.left = LVIR_BOUNDS;
        SendMessageW(native_[Index(ShopControl::RadioList)], LVM_GETSUBITEMRECT, index, reinterpret_cast<LPARAM>(&cell));
        FillRect(draw.nmcd.hdc, &cell, GetSysColorBrush(COLOR_WINDOW));
        if (ShopColumns[column].Cell == ShopCell::ProgressBar) {
            DrawProgress(draw.nmcd.hdc, cell, rows_[index].ProgressWidth);
        } else {
            DrawOutcome(draw.nmcd.hdc, cell, rows_[index].Outcome);
        }
        return CDRF_SKIPDEFAULT;
    }
    default: return CDRF_DODEFAULT;
    }
}

void Win32ShopForm::DrawProgress(HDC dc, RECT cell, int width) {
    // A framed trough the width of the cell, filled as far as the main window's bar would be.
    InflateRect(&cell, -Px(3), -Px(4));
    if (cell.right <= cell.left || cell.bottom <= cell.top) return;
    FrameRect(dc, &cell, GetSysColorBrush(COLOR_BTNSHADOW));
    InflateRect(&cell, -1, -1);
    const int full = cell.right - cell.left;
    const int shown = MulDiv(full, std::clamp(width, 0, ProgressFullWidth), ProgressFullWidth);
    if (shown <= 0) return;
    RECT bar = cell;
    bar.right = bar.left + shown;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
    // Stretched over the whole trough and cut at the filled part, as the main window shows
    // a part of its bar.
    DrawPicture(dc, window::Picture::ProgressBar, cell, static_cast<double>(dpi_) / 96.0);
    RestoreDC(dc, saved);
}

void Win32ShopForm::DrawOutcome(HDC dc, RECT cell, window::RowOutcome outcome) {
    if (outcome == window::RowOutcome::None) return;
    const int side = std::min<int>(Px(20), cell.bottom - cell.top - 2);
    if (side <= 0) return;
    RECT icon;
    icon.left = cell.left + (cell.right - cell.left - side) / 2;
    icon.top = cell.top + (cell.bottom - cell.top - side) / 2;
    icon.right = icon.left + side;
    icon.bottom = icon.top + side;
    DrawPicture(dc, outcome == window::RowOutcome::Success ? window::Picture::SuccessIcon : window::Picture::FailureIcon,
                icon, static_cast<double>(dpi_) / 96.0);
}

}  // namespace quenfall::ui
