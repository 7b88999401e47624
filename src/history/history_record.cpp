#include "history/history_record.h"

#include <cstdio>

#include "package/package.h"

namespace quenfall {

void SetPackageFacts(HistoryRecord& record, const Package& package, std::string_view fileName) {
    const auto& image = package.Image;
    record.Package.assign(fileName);
    record.PackageSize = image.size();
    record.ModelCode = package.Header.ModelCode;
    record.CheckValue = package.StoredCheckValue();
    record.Sha256 = package.Sha256;
    record.TotalBlocks = package.TotalBlocks;
}

std::string CheckValueText(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

}  // namespace quenfall
