#pragma once
// Which Windows device-change messages mean "a USB device arrived or left". Pure: it looks
// at the message's event code and at the bytes of the record the message points to, so
// that it is tested on any platform with hand-made records.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quenfall {

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
