#pragma once
// The Windows helper's pass-through port: SCSI pass-through direct on a drive letter's
// volume, through a WindowsHelperSystem, so that tests run the helper against faked drive
// calls and quenfall-radio-helper.exe against the real ones.
//
// It opens only a drive letter's volume whose opened handle answers the storage query with
// the radio's identity, says where that volume's disk sits (its USB location) so that the
// client can refuse a radio at another port, and sends only the radio's two vendor commands,
// with their fixed command blocks and the dialogue's frame lengths.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "helper/server/pass_through_port.h"
#include "helper/server/windows/pass_through_windows.h"

namespace quenfall::helper {

struct OpenedDrive {
    HANDLE Handle = INVALID_HANDLE_VALUE;
    DWORD Error = 0;  // when Handle is invalid
};

struct WindowsHelperSystem {
    // CreateFileW of a volume ("\\.\E:") for reading and writing.
    std::function<OpenedDrive(const std::wstring& volume)> OpenDrive;
    // The storage descriptor the handle answers with; empty when the query fails.
    std::function<std::vector<std::uint8_t>(HANDLE)> QueryDescriptor;
    // Where the handle's disk sits (UsbLocationOfVolume); "" when Windows keeps no location.
    std::function<std::string(HANDLE)> Location;
    // DeviceIoControl with the pass-through request: 0, or the system's error code.
    std::function<DWORD(HANDLE, PassThroughRequest&)> PassThrough;
    std::function<void(HANDLE)> Close;
    // Whether this process runs with an administrator's token (pass-through needs it).
    std::function<bool()> IsElevated;
    // Why this helper must not serve the program with process id startingProcess (it lies
    // where a non-administrator could have swapped it, and a standard user sits at the
    // desktop); "" when it may. Optional: unset, it always may.
    std::function<std::string(DWORD startingProcess)> PlacementProblem;
};

class WindowsPassThrough final : public PassThroughPort {
public:
    // refusal: when not empty, every Open is refused with it and no drive is touched.
    explicit WindowsPassThrough(WindowsHelperSystem system, std::string refusal = {});

    // A volume by its letter; an Open while a drive is open closes that drive first.
    NodeNaming Naming() const override { return NodeNaming::DriveLetter; }
    bool HoldsCommandRight() const override { return system_.IsElevated(); }
    bool IsOpen() const override { return drive_ != INVALID_HANDLE_VALUE; }
    Reply Open(const std::string& volume) override;
    CommandOutcome Issue(VendorCommand command, std::span<const std::uint8_t> data) override;
    void Close() override;

private:
    WindowsHelperSystem system_;
    std::string refusal_;
    HANDLE drive_ = INVALID_HANDLE_VALUE;
};

}  // namespace quenfall::helper
