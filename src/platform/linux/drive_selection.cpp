#include "platform/linux/drive_selection.h"

#include <algorithm>

#include "protocol/radio_identity.h"

namespace quenfall {

std::string_view WithoutLineEnd(std::string_view sysfsValue) {
    while (!sysfsValue.empty() && (sysfsValue.back() == '\n' || sysfsValue.back() == '\r')) {
        sysfsValue.remove_suffix(1);
    }
    return sysfsValue;
}

bool IsRadioDrive(const BlockDeviceRecord& record) {
    return !record.DevNode.empty() && record.DevType == "disk" &&
           WithoutLineEnd(record.Removable) == "1" &&
           IsRadioIdentity(WithoutLineEnd(record.Vendor), WithoutLineEnd(record.Model));
}

bool DeviceNameBefore(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

std::vector<BlockDeviceRecord> SelectRadioDrives(std::vector<BlockDeviceRecord> records) {
    std::erase_if(records, [](const BlockDeviceRecord& r) { return !IsRadioDrive(r); });
    std::stable_sort(records.begin(), records.end(),
                     [](const BlockDeviceRecord& a, const BlockDeviceRecord& b) {
                         return DeviceNameBefore(a.SysName, b.SysName);
                     });
    return records;
}

}  // namespace quenfall
