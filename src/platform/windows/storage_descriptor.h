#pragma once
// Reading the vendor and product texts, the removable-media flag and the bus out of a Windows
// storage device descriptor, as the storage property query returns it. Pure byte parsing, so that it is tested on any
// platform: the descriptor comes from a driver and is read only inside the bytes returned.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quenfall {

// The buffer the query fills, and where the fields we read sit in it (the descriptor is
// laid out the same in 32- and 64-bit builds: it holds no pointers).
inline constexpr std::size_t StorageDescriptorBufferSize = 551;
inline constexpr std::size_t DescriptorSizeOffset = 4;
inline constexpr std::size_t DescriptorRemovableMediaOffset = 10;
inline constexpr std::size_t DescriptorVendorIdOffset = 12;
inline constexpr std::size_t DescriptorProductIdOffset = 16;
inline constexpr std::size_t DescriptorBusTypeOffset = 28;
// The bus type a drive on USB reports (BusTypeUsb).
inline constexpr std::uint32_t StorageBusUsb = 7;

// Text shown for a field whose offset is 0 (absent); it never matches the radio.
inline constexpr const char* AbsentIdText = "(NULL)";

// The NUL-terminated text at the offset stored at fieldOffset: AbsentIdText for offset 0,
// nothing when the offset field, the text or its NUL lies outside descriptor.
std::optional<std::string> DescriptorText(std::span<const std::uint8_t> descriptor,
                                          std::size_t fieldOffset);

struct StorageIdentity {
    std::optional<std::string> Vendor;
    std::optional<std::string> Product;
};
StorageIdentity ParseStorageIdentity(std::span<const std::uint8_t> descriptor);

// The radio's drive: both texts present and exactly the radio's. A malformed descriptor
// never matches.
bool DescriptorIsRadio(std::span<const std::uint8_t> descriptor);

// How the drive is attached; nothing for a field the returned bytes do not reach.
struct StorageAttachment {
    std::optional<bool> RemovableMedia;
    std::optional<std::uint32_t> Bus;
};
StorageAttachment ParseStorageAttachment(std::span<const std::uint8_t> descriptor);

// The radio helper's judgement of a drive it opened: the radio's identity is not enough,
// since any disk can be made to report it; the radio also sits on the USB bus and holds
// removable media. The first thing that fails, in that order.
enum class RadioDriveCheck { Radio, NotTheRadio, NotOnUsb, NotRemovable };
RadioDriveCheck CheckRadioDrive(std::span<const std::uint8_t> descriptor);

}  // namespace quenfall
