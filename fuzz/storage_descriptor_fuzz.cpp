// The Windows binding's byte records on arbitrary bytes: the storage device descriptor a
// driver returns for the property query (its text offsets may point anywhere), and the
// record a device-change message points to.
//
// Input: one selector byte, then the record. Every text the parser hands back is checked
// against the bytes it came from.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/usb_watch_filter.h"
#include "protocol/radio_identity.h"
#include "platform/windows/storage_descriptor.h"

using namespace quenfall;

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

// The text must be the NUL-terminated run of bytes at the offset stored at fieldOffset,
// wholly inside the descriptor; or absent when it is not there.
void CheckText(const std::vector<std::uint8_t>& d, std::size_t fieldOffset) {
    const std::optional<std::string> text = DescriptorText(d, fieldOffset);
    if (fieldOffset + 4 > d.size()) {
        Require(!text);
        return;
    }
    std::uint32_t offset = 0;
    for (int i = 3; i >= 0; --i) offset = offset << 8 | d[fieldOffset + static_cast<std::size_t>(i)];
    if (offset == 0) {
        Require(text && *text == AbsentIdText);
        return;
    }
    const void* nul = offset < d.size() ? std::memchr(d.data() + offset, 0, d.size() - offset) : nullptr;
    if (nul == nullptr) {
        Require(!text);
        return;
    }
    const std::size_t length = static_cast<const std::uint8_t*>(nul) - (d.data() + offset);
    Require(text && text->size() == length);
    Require(std::equal(text->begin(), text->end(), d.begin() + offset,
                       [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; }));
}

void Descriptor(std::span<const std::uint8_t> bytes) {
    // Exactly as long as what the driver returned, so a read past it is caught.
    const std::vector<std::uint8_t> d(bytes.begin(), bytes.end());
    CheckText(d, DescriptorVendorIdOffset);
    CheckText(d, DescriptorProductIdOffset);
    CheckText(d, DescriptorSizeOffset);
    // Offsets of fields near and past the end.
    for (std::size_t at : {d.size(), d.size() + 1, d.size() >= 4 ? d.size() - 4 : 0, d.size() >= 3 ? d.size() - 3 : 0})
        CheckText(d, at);

    const StorageIdentity identity = ParseStorageIdentity(d);
    const bool radio = DescriptorIsRadio(d);
    Require(radio == (identity.Vendor && identity.Product &&
                      IsRadioIdentity(*identity.Vendor, *identity.Product)));
    if (radio) Require(*identity.Vendor == RadioVendor && *identity.Product == RadioModel);
}

void DeviceChangeRecord(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    // The event: one of the two that count, or any other code.
    const std::uint8_t e = bytes[0];
    const std::uintptr_t event = e == 0 ? DeviceArrivalEvent : e == 1 ? DeviceRemoveCompleteEvent : 0x7FF0u + e;
    const std::vector<std::uint8_t> record(bytes.begin() + 1, bytes.end());
    const bool usb = IsUsbDeviceChange(event, record);
    const bool expected =
        (event == DeviceArrivalEvent || event == DeviceRemoveCompleteEvent) &&
        record.size() >= BroadcastClassGuidOffset + UsbDeviceInterfaceClass.size() &&
        record[4] == DeviceInterfaceRecordType && record[5] == 0 && record[6] == 0 && record[7] == 0 &&
        std::equal(UsbDeviceInterfaceClass.begin(), UsbDeviceInterfaceClass.end(),
                   record.begin() + BroadcastClassGuidOffset);
    Require(usb == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    if (data[0] & 1) {
        DeviceChangeRecord(rest);
    } else {
        Descriptor(rest);
    }
    return 0;
}
