#include "link/windows/windows_device_link.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "link/storage_descriptor.h"
#include "link/windows/windows_command_channel.h"

namespace quenfall {

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using ProbeHandle = std::unique_ptr<void, HandleCloser>;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // device paths are ASCII
}

}  // namespace

std::wstring DevicePath(wchar_t letter) { return std::wstring(L"\\\\.\\") + letter + L":"; }

std::uint16_t WindowsDeviceLink::ScanDrives() {
    const DWORD mask = GetLogicalDrives();
    driveList_.fill(0);
    listed_.clear();
    std::uint16_t count = 0;
    for (unsigned i = 0; i < 32 && count < 32; ++i) {
        if (!(mask & (DWORD{1} << i))) continue;
        const wchar_t letter = static_cast<wchar_t>(L'A' + i);
        const wchar_t root[] = {letter, L':', L'\\', 0};
        if (GetDriveTypeW(root) != DRIVE_REMOVABLE) continue;

        HANDLE raw = CreateFileW(DevicePath(letter).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
        if (raw == INVALID_HANDLE_VALUE) continue;
        ProbeHandle probe(raw);

        // DWORD-aligned for the descriptor's fields; its Size tells the driver how much room
        // there is.
        alignas(8) std::array<std::uint8_t, StorageDescriptorBufferSize> descriptor{};
        const DWORD size = StorageDescriptorBufferSize;
        std::memcpy(descriptor.data() + DescriptorSizeOffset, &size, sizeof size);

        STORAGE_PROPERTY_QUERY query{};
        query.PropertyId = StorageDeviceProperty;
        query.QueryType = PropertyStandardQuery;
        DWORD returned = 0;
        if (!DeviceIoControl(probe.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                             descriptor.data(), size, &returned, nullptr)) {
            continue;
        }
        // Only what the driver says it wrote is read.
        const auto valid = std::span<const std::uint8_t>(descriptor).first(
            std::min<std::size_t>(returned, descriptor.size()));
        if (!DescriptorIsRadio(valid)) continue;

        driveList_[count++] = letter;
        const auto identity = ParseStorageIdentity(valid);
        // The drive letter is all this binding knows of where the radio is: no location,
        // so a radio is followed by its letter.
        listed_.push_back({Narrow(DevicePath(letter)), {}, identity.Vendor.value_or(""),
                           identity.Product.value_or("")});
    }
    return count;
}

OpenResult WindowsDeviceLink::OpenDevice() { return OpenListedDrive(0); }

OpenResult WindowsDeviceLink::OpenListedDrive(std::size_t index) {
    OpenResult result;
    if (index >= driveList_.size() || driveList_[index] == 0) {
        result.Failure = OpenFailure::NoRadio;
        return result;
    }
    const std::wstring path = DevicePath(driveList_[index]);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED) {
            result.Failure = OpenFailure::PermissionDenied;
            result.Detail = "Windows refused access to the radio's drive " + Narrow(path) +
                            ". Close programs that use the drive and start Quenfall again with "
                            "'Run as administrator'.";
        } else {
            result.Failure = OpenFailure::CannotOpen;
            result.Detail = Narrow(path) + ": error " + std::to_string(error);
        }
        return result;
    }
    result.Failure = OpenFailure::None;
    result.Channel = MakePassThroughChannel(handle);
    return result;
}

std::vector<RadioDrive> WindowsDeviceLink::ListedDrives() const { return listed_; }

}  // namespace quenfall
