#include "platform/usb_watch_filter.h"

#include <algorithm>

namespace quenfall {

namespace {

bool IsArrivalOrRemoval(std::string_view action) { return action == "add" || action == "remove"; }

}  // namespace

bool IsUsbDeviceArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                                 std::string_view action) {
    return subsystem == "usb" && devtype == "usb_device" && IsArrivalOrRemoval(action);
}

bool IsDiskArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                            std::string_view action) {
    return subsystem == "block" && devtype == "disk" && IsArrivalOrRemoval(action);
}

bool IsWatchedArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                               std::string_view action) {
    return IsUsbDeviceArrivalOrRemoval(subsystem, devtype, action) ||
           IsDiskArrivalOrRemoval(subsystem, devtype, action);
}

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
