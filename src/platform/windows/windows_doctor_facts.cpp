// The doctor's facts on Windows: every removable or fixed drive letter, its storage
// descriptor (identity, bus) and whether this user may open it for reading and writing.
#include "platform/windows/windows_device_link.h"

#include <memory>
#include <span>
#include <vector>

#include "platform/platform.h"
#include "platform/windows/windows_doctor_checks.h"
#include "platform/windows/storage_descriptor.h"
#include "platform/windows/storage_query.h"
#include "protocol/key_tables.h"

namespace quenfall {

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle Open(const std::wstring& path, DWORD access) {
    HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    return Handle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

}  // namespace

DoctorFacts GatherDoctorFacts() {
    DoctorFacts facts;
    facts.KeySetName = std::string(KeySetName());
    facts.KeySetFingerprint = std::string(KeySetFingerprint());
    const DWORD mask = GetLogicalDrives();
    for (unsigned i = 0; i < 26; ++i) {
        if (!(mask & (DWORD{1} << i))) continue;
        const wchar_t letter = static_cast<wchar_t>(L'A' + i);
        const wchar_t root[] = {letter, L':', L'\\', 0};
        const UINT type = GetDriveTypeW(root);
        if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED) continue;
        const std::wstring path = DevicePath(letter);
        const Handle probe = Open(path, GENERIC_READ);
        if (!probe) continue;
        // A drive whose query fails or says nothing carries neither identity nor bus.
        const std::vector<std::uint8_t> descriptor = QueryStorageDescriptor(probe.get());
        if (descriptor.empty()) continue;
        const std::span<const std::uint8_t> valid(descriptor);
        const StorageIdentity identity = ParseStorageIdentity(valid);
        DiskFacts disk;
        disk.Node = std::string(path.begin(), path.end());
        disk.Vendor = identity.Vendor.value_or("");
        disk.Model = identity.Product.value_or("");
        disk.CarriesScsiIdentity = identity.Vendor.has_value() && identity.Product.has_value();
        disk.Removable = type == DRIVE_REMOVABLE;
        disk.OnUsb = ParseStorageAttachment(valid).Bus == StorageBusUsb;
        disk.MayOpenDisk = Open(path, GENERIC_READ | GENERIC_WRITE) != nullptr;
        disk.MayOpenGeneric = disk.MayOpenDisk;
        if (disk.OnUsb || DescriptorIsRadio(valid)) facts.Disks.push_back(std::move(disk));
    }
    return facts;
}

const SystemChecks& PlatformDoctorChecks() { return WindowsDoctorChecks(); }

}  // namespace quenfall
