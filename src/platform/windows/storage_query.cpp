#include "platform/windows/storage_query.h"

#include <winioctl.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/windows/storage_descriptor.h"

namespace quenfall {

std::vector<std::uint8_t> QueryStorageDescriptor(HANDLE device) {
    // DWORD-aligned for the descriptor's fields; its Size tells the driver how much room
    // there is.
    alignas(8) std::array<std::uint8_t, StorageDescriptorBufferSize> descriptor{};
    const DWORD size = StorageDescriptorBufferSize;
    std::memcpy(descriptor.data() + DescriptorSizeOffset, &size, sizeof size);

    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, descriptor.data(), size,
                         &returned, nullptr)) {
        return {};
    }
    // Only what the driver says it wrote is read.
    return std::vector<std::uint8_t>(descriptor.begin(),
                                     descriptor.begin() + std::min<std::size_t>(returned, descriptor.size()));
}

bool ProcessIsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL read = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return read && elevation.TokenIsElevated != 0;
}

}  // namespace quenfall
