#include "platform/windows/windows_usb_watch.h"

#include <dbt.h>

#include <cstdio>
#include <cstring>
#include <span>

#include "platform/usb_watch_filter.h"

namespace quenfall {

static_assert(sizeof(GUID) == UsbDeviceInterfaceClass.size());
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_classguid) == BroadcastClassGuidOffset);
static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == DeviceInterfaceRecordSize);
static_assert(sizeof(DEV_BROADCAST_HDR) == BroadcastHeaderSize);

DeviceWatchRegistration RegisterUsbDeviceWatch(HWND window) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    std::memset(&filter, 0, sizeof filter);
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(&filter.dbcc_classguid, UsbDeviceInterfaceClass.data(), sizeof(GUID));

    DeviceWatchRegistration registration;
    registration.Handle = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!registration.Handle) {
        char text[16];
        std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(GetLastError()));
        registration.ErrorText = text;
    }
    return registration;
}

bool IsUsbDeviceChangeMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_DEVICECHANGE) return false;
    // Other events (nodes changed, queries) may carry no record at all: look at the event
    // before touching the pointer.
    if (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE) return false;
    if (lParam == 0) return false;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header->dbch_size < sizeof(DEV_BROADCAST_HDR)) return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(lParam);
    return IsUsbDeviceChange(static_cast<std::uintptr_t>(wParam),
                             std::span<const std::uint8_t>(bytes, header->dbch_size));
}

}  // namespace quenfall
