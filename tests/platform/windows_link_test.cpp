// The Windows binding, run under wine in CI: the pass-through request as the driver will
// read it, the device-change test against the SDK's own records and GUID, and a scan of
// whatever drives the system has (none is the radio).
#include <windows.h>
#include <dbt.h>
#include <initguid.h>
#include <usbiodef.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/windows/windows_usb_watch.h"
#include "helper/server/windows/pass_through_windows.h"
#include "platform/windows/usb_disk_location.h"
#include "platform/windows/windows_device_link.h"

namespace quenfall {
namespace {

const std::uint8_t WriteBlock[16] = {0xFF, 0x2A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};
const std::uint8_t ReadBlock[16] = {0xFF, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x47, 0x50};

TEST(PassThrough, WriteRequestAsTheDriverReadsIt) {
    std::vector<std::uint8_t> frame(2065, 0x5A);
    PassThroughRequest buffer;
    std::memset(&buffer, 0xCC, sizeof buffer);  // leftovers must not survive
    BuildPassThrough(buffer, VendorCommand::Write, frame);
    const auto& r = buffer.Request;
    EXPECT_EQ(r.Length, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(r.ScsiStatus, 0);
    EXPECT_EQ(r.PathId, 0);
    EXPECT_EQ(r.TargetId, 1);
    EXPECT_EQ(r.Lun, 0);
    EXPECT_EQ(r.CdbLength, 16);
    EXPECT_EQ(r.SenseInfoLength, 24);
    EXPECT_EQ(r.DataIn, SCSI_IOCTL_DATA_OUT);
    EXPECT_EQ(r.DataTransferLength, 2065u);
    EXPECT_EQ(r.TimeOutValue, 2u);
    EXPECT_EQ(r.DataBuffer, frame.data());
    EXPECT_EQ(r.SenseInfoOffset, offsetof(PassThroughRequest, Sense));
    EXPECT_EQ(std::memcmp(r.Cdb, WriteBlock, 16), 0);
    EXPECT_EQ(buffer.Filler, 0u);
    for (auto b : buffer.Sense) EXPECT_EQ(b, 0);
}

TEST(PassThrough, ReadRequestAndTheLayoutOfThisBuild) {
    std::uint8_t answer[9];
    PassThroughRequest buffer;
    BuildPassThrough(buffer, VendorCommand::Read, answer);
    EXPECT_EQ(buffer.Request.SenseInfoLength, 32);
    EXPECT_EQ(buffer.Request.DataIn, SCSI_IOCTL_DATA_IN);
    EXPECT_EQ(buffer.Request.DataTransferLength, 9u);
    EXPECT_EQ(buffer.Request.DataBuffer, answer);
    EXPECT_EQ(std::memcmp(buffer.Request.Cdb, ReadBlock, 16), 0);
    // The sense area lies inside the buffer handed to the driver, behind the request.
    EXPECT_GE(buffer.Request.SenseInfoOffset, sizeof(SCSI_PASS_THROUGH_DIRECT));
    EXPECT_LE(buffer.Request.SenseInfoOffset + 32u, sizeof(PassThroughRequest));
    EXPECT_EQ(sizeof(SCSI_PASS_THROUGH_DIRECT), sizeof(void*) == 8 ? 56u : 44u);
    EXPECT_EQ(IOCTL_SCSI_PASS_THROUGH_DIRECT, 0x4D014u);
    EXPECT_EQ(IOCTL_STORAGE_QUERY_PROPERTY, 0x2D1400u);
    EXPECT_EQ(sizeof(STORAGE_PROPERTY_QUERY), 12u);
    EXPECT_EQ(offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset), 12u);
    EXPECT_EQ(offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset), 16u);
}

TEST(DeviceNotification, MatchesTheSdkRecordOfAUsbDevice) {
    DEV_BROADCAST_DEVICEINTERFACE_W record{};
    record.dbcc_size = sizeof record;
    record.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record.dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
    const auto lParam = reinterpret_cast<LPARAM>(&record);
    EXPECT_TRUE(IsUsbDeviceChangeMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, lParam));
    EXPECT_TRUE(IsUsbDeviceChangeMessage(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, lParam));
    EXPECT_FALSE(IsUsbDeviceChangeMessage(WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, lParam));
    EXPECT_FALSE(IsUsbDeviceChangeMessage(WM_DEVICECHANGE, DBT_DEVICEREMOVEPENDING, lParam));
    EXPECT_FALSE(IsUsbDeviceChangeMessage(WM_PAINT, DBT_DEVICEARRIVAL, lParam));
    // Nodes-changed comes with no record at all.
    EXPECT_FALSE(IsUsbDeviceChangeMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0));
    EXPECT_FALSE(IsUsbDeviceChangeMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0));

    record.dbcc_classguid = GUID_DEVINTERFACE_USB_HUB;
    EXPECT_FALSE(IsUsbDeviceChangeMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, lParam));

    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << 5;
    EXPECT_FALSE(IsUsbDeviceChangeMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                                          reinterpret_cast<LPARAM>(&volume)));
}

TEST(DeviceNotification, RegistersAWindow) {
    HWND window = CreateWindowExW(0, L"STATIC", L"watch", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    const auto registration = RegisterUsbDeviceWatch(window);
    if (!registration.Handle) {
        // The error number alone, as the window shows it.
        EXPECT_FALSE(registration.ErrorText.empty());
        EXPECT_EQ(registration.ErrorText.find_first_not_of("0123456789"), std::string::npos);
    } else {
        EXPECT_TRUE(registration.ErrorText.empty());
    }
    DestroyWindow(window);
}

TEST(WindowsDeviceLink, ScanFindsNoRadioAmongTheSystemsDrives) {
    WindowsDeviceLink link;
    EXPECT_EQ(link.ScanDrives(), 0);
    for (wchar_t letter : link.DriveList()) EXPECT_EQ(letter, 0);
    EXPECT_TRUE(link.ListedDrives().empty());
    const auto opened = link.OpenDevice();
    EXPECT_EQ(opened.Failure, OpenFailure::NoRadio);
    EXPECT_FALSE(opened.Channel);
    EXPECT_EQ(DevicePath(L'F'), L"\\\\.\\F:");
}

// The SetupAPI and configuration manager walk on every drive the system has: wine keeps no
// disk interfaces for its drives, so each gives "no location" without failing; a handle that
// is no device at all gives the same.
TEST(UsbDiskLocation, DrivesWithoutALocationGiveNone) {
    const DWORD mask = GetLogicalDrives();
    int asked = 0;
    for (unsigned i = 0; i < 26; ++i) {
        if (!(mask & (DWORD{1} << i))) continue;
        HANDLE volume = CreateFileW(DevicePath(static_cast<wchar_t>(L'A' + i)).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (volume == INVALID_HANDLE_VALUE) continue;
        ++asked;
        const auto chain = DiskNodeChain(volume);
        const std::string location = UsbLocationOfVolume(volume);
        // A disk found must have been walked from itself upward; a location needs a USB port.
        if (!chain.empty()) {
            EXPECT_FALSE(chain.front().InstanceId.empty());
        }
        if (!location.empty()) {
            EXPECT_FALSE(UsbPortPath(chain).empty());
        }
        CloseHandle(volume);
    }
    EXPECT_GT(asked, 0);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"quenfall-location-test.txt";
    HANDLE notADevice = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(notADevice, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DiskNodeChain(notADevice).empty());
    EXPECT_EQ(UsbLocationOfVolume(notADevice), "");
    CloseHandle(notADevice);
}

}  // namespace
}  // namespace quenfall
