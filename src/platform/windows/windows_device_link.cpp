#include "platform/windows/windows_device_link.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/windows/storage_descriptor.h"
#include "platform/windows/windows_command_channel.h"
#include "platform/windows/storage_query.h"
#include "platform/windows/usb_disk_location.h"

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

std::string WhyNotTheListedRadio(HANDLE opened, const std::string& location) {
    if (!DescriptorIsRadio(QueryStorageDescriptor(opened))) return "is no longer the radio";
    if (const std::string now = UsbLocationOfVolume(opened); now != location) {
        return "is no longer the radio at " + (location.empty() ? std::string("this drive letter") : location) +
               (now.empty() ? std::string() : " (it is now at " + now + ")");
    }
    return {};
}

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

        // No access asked: the storage query and the device number need none, so the scan
        // works without administrator rights.
        HANDLE raw = CreateFileW(DevicePath(letter).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
        if (raw == INVALID_HANDLE_VALUE) continue;
        ProbeHandle probe(raw);

        const std::vector<std::uint8_t> valid = QueryStorageDescriptor(probe.get());
        if (!DescriptorIsRadio(valid)) continue;

        driveList_[count++] = letter;
        const auto identity = ParseStorageIdentity(valid);
        // The USB port the radio hangs from, which stays when its letter changes; empty
        // where Windows keeps no location (then the radio is followed by its letter).
        listed_.push_back({Narrow(DevicePath(letter)), UsbLocationOfVolume(probe.get()),
                           identity.Vendor.value_or(""), identity.Product.value_or("")});
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
    // The letter may have changed hands since the scan (the radio restarted, another radio
    // of a crate took its letter, another disk came): commands go only to a handle that is
    // the radio itself, at the port the scan found it on.
    ProbeHandle opened(handle);
    if (const std::string why = WhyNotTheListedRadio(opened.get(), listed_[index].Location); !why.empty()) {
        result.Failure = OpenFailure::CannotOpen;
        result.Detail = Narrow(path) + " " + why;
        return result;
    }
    result.Failure = OpenFailure::None;
    result.Channel = MakePassThroughChannel(opened.release());
    return result;
}

std::vector<RadioDrive> WindowsDeviceLink::ListedDrives() const { return listed_; }

}  // namespace quenfall
