#include "platform/windows/storage_descriptor.h"

#include <algorithm>

#include "protocol/radio_identity.h"

namespace quenfall {

namespace {

std::optional<std::uint32_t> ReadLittleEndian32(std::span<const std::uint8_t> bytes,
                                                std::size_t at) {
    if (at > bytes.size() || bytes.size() - at < 4) return std::nullopt;
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

std::optional<std::string> DescriptorText(std::span<const std::uint8_t> descriptor,
                                          std::size_t fieldOffset) {
    const auto offset = ReadLittleEndian32(descriptor, fieldOffset);
    if (!offset) return std::nullopt;
    if (*offset == 0) return std::string(AbsentIdText);
    if (*offset >= descriptor.size()) return std::nullopt;
    const auto text = descriptor.subspan(*offset);
    const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
    if (end == text.end()) return std::nullopt;
    return std::string(text.begin(), end);
}

StorageIdentity ParseStorageIdentity(std::span<const std::uint8_t> descriptor) {
    return {DescriptorText(descriptor, DescriptorVendorIdOffset),
            DescriptorText(descriptor, DescriptorProductIdOffset)};
}

bool DescriptorIsRadio(std::span<const std::uint8_t> descriptor) {
    const StorageIdentity identity = ParseStorageIdentity(descriptor);
    return identity.Vendor && identity.Product && IsRadioIdentity(*identity.Vendor, *identity.Product);
}

StorageAttachment ParseStorageAttachment(std::span<const std::uint8_t> descriptor) {
    StorageAttachment attachment;
    if (descriptor.size() > DescriptorRemovableMediaOffset) {
        attachment.RemovableMedia = descriptor[DescriptorRemovableMediaOffset] != 0;
    }
    attachment.Bus = ReadLittleEndian32(descriptor, DescriptorBusTypeOffset);
    return attachment;
}

RadioDriveCheck CheckRadioDrive(std::span<const std::uint8_t> descriptor) {
    if (!DescriptorIsRadio(descriptor)) return RadioDriveCheck::NotTheRadio;
    const StorageAttachment attachment = ParseStorageAttachment(descriptor);
    if (attachment.Bus != StorageBusUsb) return RadioDriveCheck::NotOnUsb;
    if (attachment.RemovableMedia != true) return RadioDriveCheck::NotRemovable;
    return RadioDriveCheck::Radio;
}

}  // namespace quenfall
