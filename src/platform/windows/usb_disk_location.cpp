#include "platform/windows/usb_disk_location.h"

#include <cfgmgr32.h>
#include <setupapi.h>
#include <winioctl.h>

#include <memory>
#include <optional>

namespace quenfall {

namespace {

// The disk device interface class (GUID_DEVINTERFACE_DISK), spelt out so that no GUID
// library is needed.
constexpr GUID DiskInterfaceClass = {0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};
// Nodes between a disk and the root: disk, device (or interface and device), hubs (at most
// five tiers), controller, bridges, root. More than this is a loop or nonsense.
constexpr int MaxChainLength = 24;

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct DeviceListDeleter {
    void operator()(HDEVINFO list) const { SetupDiDestroyDeviceInfoList(list); }
};
using DeviceList = std::unique_ptr<void, DeviceListDeleter>;

std::optional<STORAGE_DEVICE_NUMBER> DeviceNumber(HANDLE device) {
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number, &returned,
                         nullptr) ||
        returned < sizeof number) {
        return std::nullopt;
    }
    return number;
}

// Instance ids and location paths are ASCII.
std::string Narrow(const wchar_t* text, std::size_t length) {
    std::string narrow;
    narrow.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        narrow.push_back(text[i] < 0x80 ? static_cast<char>(text[i]) : '?');
    }
    return narrow;
}

DeviceNodeRecord Describe(DEVINST node) {
    DeviceNodeRecord record;
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS) record.InstanceId = Narrow(id, wcslen(id));
    // The location paths property (DEVPKEY_Device_LocationPaths) through its registry
    // property number, which SetupAPI exports and wine knows.
    ULONG type = 0;
    ULONG size = 0;
    if (CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_PATHS, &type, nullptr, &size, 0) !=
            CR_BUFFER_SMALL ||
        size == 0 || size > 64 * 1024) {
        return record;
    }
    std::vector<wchar_t> value(size / sizeof(wchar_t) + 2, L'\0');
    if (CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_PATHS, &type, value.data(), &size, 0) == CR_SUCCESS &&
        type == REG_MULTI_SZ) {
        // The two NULs added above end the list even if the system's value does not.
        record.LocationPaths = SplitMultiString(Narrow(value.data(), value.size()));
    }
    return record;
}

std::optional<DEVINST> DiskNode(const STORAGE_DEVICE_NUMBER& volume) {
    DeviceList disks(SetupDiGetClassDevsW(&DiskInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (disks.get() == INVALID_HANDLE_VALUE) {
        disks.release();
        return std::nullopt;
    }
    SP_DEVICE_INTERFACE_DATA interface{};
    interface.cbSize = sizeof interface;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(disks.get(), nullptr, &DiskInterfaceClass, i, &interface); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(disks.get(), &interface, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || size > 64 * 1024) continue;
        std::vector<std::uint64_t> storage(size / sizeof(std::uint64_t) + 1);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiGetDeviceInterfaceDetailW(disks.get(), &interface, detail, size, nullptr, &device)) continue;
        // No access asked: the device number needs none, and an opened disk is not used.
        Handle disk(CreateFileW(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
        if (disk.get() == INVALID_HANDLE_VALUE) continue;
        const auto number = DeviceNumber(disk.get());
        if (number && number->DeviceType == volume.DeviceType && number->DeviceNumber == volume.DeviceNumber) {
            return device.DevInst;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<DeviceNodeRecord> DiskNodeChain(HANDLE volume) {
    std::vector<DeviceNodeRecord> chain;
    const auto number = DeviceNumber(volume);
    if (!number) return chain;
    const auto disk = DiskNode(*number);
    if (!disk) return chain;
    DEVINST node = *disk;
    for (int i = 0; i < MaxChainLength; ++i) {
        chain.push_back(Describe(node));
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) break;
        node = parent;
    }
    return chain;
}

std::string UsbLocationOfVolume(HANDLE volume) { return UsbLocationOfDisk(DiskNodeChain(volume)); }

}  // namespace quenfall
