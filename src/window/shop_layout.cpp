#include "window/shop_layout.h"

namespace quenfall::window {

std::u16string_view CellText(const ShopRowView& row, ShopColumn column) {
    switch (column) {
    case ShopColumn::Location: return row.Location;
    case ShopColumn::Serial: return row.Serial;
    case ShopColumn::Node: return row.Node;
    case ShopColumn::Status: return row.Status;
    case ShopColumn::Elapsed: return row.Elapsed;
    case ShopColumn::Progress:
    case ShopColumn::Outcome: return {};
    }
    return {};
}

}  // namespace quenfall::window
