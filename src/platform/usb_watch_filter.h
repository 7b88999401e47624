#pragma once
// Which of the system's notices mean "a USB device came or went", on either system. Pure:
// the platform's watch (link/linux/linux_usb_watch.h, link/windows/windows_usb_watch.h)
// hands over the notice's fields or bytes, so that the rules are tested on any platform.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quenfall {

// Linux: which hotplug events the device watch reacts to: the arrival and removal of a
// whole USB device, and of a whole disk. The disk matters because the kernel's USB storage
// driver waits (delay_use, 1 s by default) before it looks for the disk behind a new USB
// device: the report that follows the USB device's arrival may not find the radio's disk
// yet, the one that follows the disk's arrival does. Interfaces, partitions, and the other
// actions (bind, unbind, change, move) never count.
bool IsUsbDeviceArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                                 std::string_view action);
bool IsDiskArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                            std::string_view action);
// Either of the two: what the watch reacts to.
bool IsWatchedArrivalOrRemoval(std::string_view subsystem, std::string_view devtype,
                               std::string_view action);

// Windows: which device-change messages mean "a USB device arrived or left", judged from the
// message's event code and the bytes of the record it points to (tested with hand-made
// records).
inline constexpr std::uint32_t DeviceChangeMessage = 0x0219;       // WM_DEVICECHANGE
inline constexpr std::uintptr_t DeviceArrivalEvent = 0x8000;        // DBT_DEVICEARRIVAL
inline constexpr std::uintptr_t DeviceRemoveCompleteEvent = 0x8004; // DBT_DEVICEREMOVECOMPLETE
inline constexpr std::uint32_t DeviceInterfaceRecordType = 5;       // DBT_DEVTYP_DEVICEINTERFACE

// The record every notification starts with: size, device type, reserved (3 x 32 bits);
// a device-interface record goes on with the class GUID.
inline constexpr std::size_t BroadcastHeaderSize = 12;
inline constexpr std::size_t BroadcastClassGuidOffset = 12;
inline constexpr std::size_t DeviceInterfaceRecordSize = 32;  // header, GUID, one UTF-16 unit

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}, the USB device interface class, in memory order
// (first three groups little-endian).
inline constexpr std::array<std::uint8_t, 16> UsbDeviceInterfaceClass = {
    0x10, 0xBF, 0xDC, 0xA5, 0x30, 0x65, 0xD2, 0x11,
    0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED};

// record: the bytes the message's second parameter points to, as many as the record's own
// size field says (the caller reads that first). Matches an arrival or a completed removal
// of a device of the USB device interface class; every other event, record type or class,
// and a record too short to hold a class, does not match.
bool IsUsbDeviceChange(std::uintptr_t event, std::span<const std::uint8_t> record);

}  // namespace quenfall
