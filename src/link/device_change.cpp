#include "link/device_change.h"

#include <algorithm>

namespace quenfall {

namespace {

std::uint32_t LittleEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

bool IsUsbDeviceChange(std::uintptr_t event, std::span<const std::uint8_t> record) {
    if (event != DeviceArrivalEvent && event != DeviceRemoveCompleteEvent) return false;
    if (record.size() < BroadcastHeaderSize) return false;
    if (LittleEndian32(record, 4) != DeviceInterfaceRecordType) return false;
    if (record.size() < BroadcastClassGuidOffset + UsbDeviceInterfaceClass.size()) return false;
    const auto guid = record.subspan(BroadcastClassGuidOffset, UsbDeviceInterfaceClass.size());
    return std::equal(guid.begin(), guid.end(), UsbDeviceInterfaceClass.begin());
}

}  // namespace quenfall
