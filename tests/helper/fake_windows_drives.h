#pragma once
// The drive calls of the Windows radio helper, faked: an emulated radio behind "\\.\R:" at
// USB location "1400-2.3", a second one behind "\\.\S:" at "1400-2.5", a radio behind
// "\\.\T:" at "1400-2.6" that never answers (its commands wait until the test lets them
// fail, as a real one's run into their time-out), a USB stick that is not the radio behind
// "\\.\N:", the radio's identity on a SATA disk behind "\\.\U:" and on a USB disk without
// removable media behind "\\.\V:", nothing else. Every pass-through request is checked as the
// driver would read it and recorded. The helper serves each connection on a thread of its
// own, so every call may come from any thread.
#include <windows.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/windows/storage_descriptor.h"
#include "protocol/vendor_command.h"
#include "helper/server/radio_helper_service.h"
#include "helper/server/windows/windows_pass_through_port.h"
#include "emulator/emulated_radio.h"

namespace quenfall::test {

inline const HANDLE RadioHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x5a00});
inline const HANDLE StickHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x5b00});
inline const HANDLE SecondHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x5c00});
inline const HANDLE SilentHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x5d00});
inline const HANDLE OtherBusHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x5e00});
inline const HANDLE FixedUsbHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x5f00});
// The bus type of a SATA disk (BusTypeSata).
inline constexpr std::uint32_t SataBus = 11;
inline constexpr const char* RadioLocation = "1400-2.3";
inline constexpr const char* SecondLocation = "1400-2.5";
inline constexpr const char* SilentLocation = "1400-2.6";

// A storage descriptor as the storage query returns it.
inline std::vector<std::uint8_t> DescriptorWith(const std::string& vendor, const std::string& product,
                                                std::uint32_t bus = StorageBusUsb, bool removable = true) {
    std::vector<std::uint8_t> bytes(StorageDescriptorBufferSize, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 1);
    put32(DescriptorSizeOffset, 551);
    bytes[DescriptorRemovableMediaOffset] = removable ? 1 : 0;
    put32(DescriptorBusTypeOffset, bus);
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
    explicit FakeDrives(EmulatedRadioConfig config) : radio(config), second(config) {}

    EmulatedRadio radio;   // R:
    EmulatedRadio second;  // S:
    std::unique_ptr<DeviceChannel> channel;
    std::unique_ptr<DeviceChannel> secondChannel;
    // Guards everything here once the helper serves more than one connection.
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<PassThroughRecord> commands;
    std::vector<HANDLE> closed;
    std::vector<std::wstring> opened;
    bool elevated = true;
    // The helper's check of where it lies: what it answers, and whom it was asked about.
    std::string placementProblem;
    std::vector<DWORD> placementAskedFor;
    // The status and sense data every command completes with, as the driver leaves them.
    UCHAR scsiStatus = 0;
    std::vector<std::uint8_t> sense;
    // The silent radio: how many of its commands are waiting, and whether they may fail now.
    int silentWaiting = 0;
    bool silentReleased = false;

    void ReleaseSilent() {
        std::lock_guard lock(mutex);
        silentReleased = true;
        changed.notify_all();
    }
    // Waits until n commands wait on the silent radio; false after a minute without.
    bool AwaitSilentCommands(int n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::minutes(1), [&] { return silentWaiting >= n; });
    }

    helper::WindowsHelperSystem System() {
        helper::WindowsHelperSystem system;
        system.OpenDrive = [this](const std::wstring& volume) {
            std::lock_guard lock(mutex);
            opened.push_back(volume);
            helper::OpenedDrive drive;
            auto openRadio = [&](EmulatedRadio& which, std::unique_ptr<DeviceChannel>& into, HANDLE handle) {
                which.ScanDrives();
                OpenResult open = which.OpenDevice();
                if (!open.Channel) {
                    drive.Error = ERROR_FILE_NOT_FOUND;
                    return;
                }
                into = std::move(open.Channel);
                drive.Handle = handle;
            };
            if (volume == L"\\\\.\\R:") {
                openRadio(radio, channel, RadioHandle);
            } else if (volume == L"\\\\.\\S:") {
                openRadio(second, secondChannel, SecondHandle);
            } else if (volume == L"\\\\.\\T:") {
                drive.Handle = SilentHandle;
            } else if (volume == L"\\\\.\\N:") {
                drive.Handle = StickHandle;
            } else if (volume == L"\\\\.\\U:") {
                drive.Handle = OtherBusHandle;
            } else if (volume == L"\\\\.\\V:") {
                drive.Handle = FixedUsbHandle;
            } else {
                drive.Error = ERROR_FILE_NOT_FOUND;
            }
            return drive;
        };
        system.QueryDescriptor = [](HANDLE h) {
            if (h == RadioHandle || h == SecondHandle || h == SilentHandle) {
                return DescriptorWith("STM     ", "microSD Flash   ");
            }
            if (h == StickHandle) return DescriptorWith("SanDisk ", "Cruzer Blade    ");
            if (h == OtherBusHandle) return DescriptorWith("STM     ", "microSD Flash   ", SataBus, true);
            if (h == FixedUsbHandle) return DescriptorWith("STM     ", "microSD Flash   ", StorageBusUsb, false);
            return std::vector<std::uint8_t>{};
        };
        system.Location = [](HANDLE h) {
            if (h == RadioHandle) return std::string(RadioLocation);
            if (h == SecondHandle) return std::string(SecondLocation);
            if (h == SilentHandle) return std::string(SilentLocation);
            return std::string("1400-2.4");
        };
        system.PassThrough = [this](HANDLE h, PassThroughRequest& buffer) -> DWORD {
            const SCSI_PASS_THROUGH_DIRECT& r = buffer.Request;
            PassThroughRecord record;
            record.Write = r.DataIn == SCSI_IOCTL_DATA_OUT;
            record.Length = r.DataTransferLength;
            const CommandBlock block = VendorCommandBlock(record.Write ? VendorCommand::Write : VendorCommand::Read);
            record.CommandBlockIsTheVendors = r.CdbLength == 16 && std::memcmp(r.Cdb, block.data(), 16) == 0;
            std::unique_lock lock(mutex);
            commands.push_back(record);
            if (h == SilentHandle) {
                ++silentWaiting;
                changed.notify_all();
                changed.wait(lock, [&] { return silentReleased; });
                --silentWaiting;
                return ERROR_SEM_TIMEOUT;  // what a command that ran into its time-out gives
            }
            DeviceChannel* target = h == RadioHandle ? channel.get() : h == SecondHandle ? secondChannel.get() : nullptr;
            if (target == nullptr) return ERROR_INVALID_HANDLE;
            // Each radio is one connection's alone: its commands need not wait for another's.
            lock.unlock();
            auto* data = static_cast<std::uint8_t*>(r.DataBuffer);
            if (record.Write) {
                target->ScsiWrite({data, r.DataTransferLength});
            } else {
                target->ScsiRead({data, r.DataTransferLength});
            }
            lock.lock();
            buffer.Request.ScsiStatus = scsiStatus;
            if (!sense.empty()) {
                buffer.Request.SenseInfoLength = static_cast<UCHAR>(sense.size());
                std::memcpy(buffer.Sense, sense.data(), sense.size());
            }
            return 0;
        };
        system.Close = [this](HANDLE h) {
            std::lock_guard lock(mutex);
            closed.push_back(h);
            if (h == RadioHandle) channel.reset();
            if (h == SecondHandle) secondChannel.reset();
        };
        system.IsElevated = [this] {
            std::lock_guard lock(mutex);
            return elevated;
        };
        system.PlacementProblem = [this](DWORD startingProcess) {
            std::lock_guard lock(mutex);
            placementAskedFor.push_back(startingProcess);
            return placementProblem;
        };
        return system;
    }
};

}  // namespace quenfall::test
