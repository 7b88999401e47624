#pragma once
// USB device arrival and removal on Windows: the window registers once for notifications
// of the USB device interface class, and its window procedure asks IsUsbDeviceChangeMessage
// about every message before its default handling.
#include <windows.h>

#include <string>

namespace quenfall {

struct DeviceWatchRegistration {
    HDEVNOTIFY Handle = nullptr;  // null when the registration failed
    std::string ErrorText;        // the system's error number, "%lu", when it failed
};

// Never withdrawn: the registration lasts as long as the window.
DeviceWatchRegistration RegisterUsbDeviceWatch(HWND window);

// True for an arrival or a completed removal of a USB device; false for every other
// message, event, record type or class.
bool IsUsbDeviceChangeMessage(UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace quenfall
