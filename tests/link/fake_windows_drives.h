#pragma once
// The drive calls of the Windows radio helper, faked: an emulated radio behind "\\.\R:" at
// USB location "1400-2.3", a USB stick that is not the radio behind "\\.\N:", nothing else.
// Every pass-through request is checked as the driver would read it and recorded.
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "link/storage_descriptor.h"
#include "link/vendor_command.h"
#include "link/windows/windows_helper_service.h"
#include "radio/emulated_radio.h"

namespace quenfall::test {

inline const HANDLE RadioHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x5a00});
inline const HANDLE StickHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x5b00});
inline constexpr const char* RadioLocation = "1400-2.3";

// A storage descriptor as the storage query returns it.
inline std::vector<std::uint8_t> DescriptorWith(const std::string& vendor, const std::string& product) {
    std::vector<std::uint8_t> bytes(StorageDescriptorBufferSize, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 1);
    put32(DescriptorSizeOffset, 551);
    put32(DescriptorVendorIdOffset, 40);
    std::memcpy(bytes.data() + 40, vendor.data(), vendor.size());
    put32(DescriptorProductIdOffset, 49);
    std::memcpy(bytes.data() + 49, product.data(), product.size());
    return bytes;
}

struct PassThroughRecord {
    bool CommandBlockIsTheVendors = false;
    bool Write = false;
    std::size_t Length = 0;
};

struct FakeDrives {
    explicit FakeDrives(EmulatedRadioConfig config) : radio(std::move(config)) {}

    EmulatedRadio radio;
    std::unique_ptr<DeviceChannel> channel;
    std::vector<PassThroughRecord> commands;
    std::vector<HANDLE> closed;
    std::vector<std::wstring> opened;
    bool elevated = true;
    // The status and sense data every command completes with, as the driver leaves them.
    UCHAR scsiStatus = 0;
    std::vector<std::uint8_t> sense;

    helper::WindowsHelperSystem System() {
        helper::WindowsHelperSystem system;
        system.OpenDrive = [this](const std::wstring& volume) {
            opened.push_back(volume);
            helper::OpenedDrive drive;
            if (volume == L"\\\\.\\R:") {
                radio.ScanDrives();
                OpenResult open = radio.OpenDevice();
                if (!open.Channel) {
                    drive.Error = ERROR_FILE_NOT_FOUND;
                    return drive;
                }
                channel = std::move(open.Channel);
                drive.Handle = RadioHandle;
            } else if (volume == L"\\\\.\\N:") {
                drive.Handle = StickHandle;
            } else {
                drive.Error = ERROR_FILE_NOT_FOUND;
            }
            return drive;
        };
        system.QueryDescriptor = [](HANDLE h) {
            if (h == RadioHandle) return DescriptorWith("STM     ", "microSD Flash   ");
            if (h == StickHandle) return DescriptorWith("SanDisk ", "Cruzer Blade    ");
            return std::vector<std::uint8_t>{};
        };
        system.Location = [](HANDLE h) { return std::string(h == RadioHandle ? RadioLocation : "1400-2.4"); };
        system.PassThrough = [this](HANDLE h, PassThroughBuffer& buffer) -> DWORD {
            const SCSI_PASS_THROUGH_DIRECT& r = buffer.Request;
            PassThroughRecord record;
            record.Write = r.DataIn == SCSI_IOCTL_DATA_OUT;
            record.Length = r.DataTransferLength;
            const CommandBlock block = VendorCommandBlock(record.Write ? VendorCommand::Write : VendorCommand::Read);
            record.CommandBlockIsTheVendors = r.CdbLength == 16 && std::memcmp(r.Cdb, block.data(), 16) == 0;
            commands.push_back(record);
            if (h != RadioHandle || !channel) return ERROR_INVALID_HANDLE;
            auto* data = static_cast<std::uint8_t*>(r.DataBuffer);
            if (record.Write) {
                channel->ScsiWrite({data, r.DataTransferLength});
            } else {
                channel->ScsiRead({data, r.DataTransferLength});
            }
            buffer.Request.ScsiStatus = scsiStatus;
            if (!sense.empty()) {
                buffer.Request.SenseInfoLength = static_cast<UCHAR>(sense.size());
                std::memcpy(buffer.Sense, sense.data(), sense.size());
            }
            return 0;
        };
        system.Close = [this](HANDLE h) {
            closed.push_back(h);
            if (h == RadioHandle) channel.reset();
        };
        system.IsElevated = [this] { return elevated; };
        return system;
    }
};

}  // namespace quenfall::test
