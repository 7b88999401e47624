#pragma once
// The Windows radio helper's work, apart from its process and its pipe: it answers one
// request at a time against a WindowsHelperSystem, so that tests run it against faked drive
// calls and quenfall-radio-helper.exe runs it against the real ones.
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

#include "link/helper_protocol/helper_protocol.h"
#include "link/windows/pass_through.h"

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
    std::function<DWORD(HANDLE, PassThroughBuffer&)> PassThrough;
    std::function<void(HANDLE)> Close;
    // Whether this process runs with an administrator's token (pass-through needs it).
    std::function<bool()> IsElevated;
};

class WindowsHelperService {
public:
    explicit WindowsHelperService(WindowsHelperSystem system);
    ~WindowsHelperService();
    WindowsHelperService(const WindowsHelperService&) = delete;
    WindowsHelperService& operator=(const WindowsHelperService&) = delete;

    Hello Greeting() const;
    // Every request gets a reply. Open closes the drive open before, then keeps the new one
    // only when it is the radio; Write and Read issue the vendor commands on it. A refused
    // request changes nothing.
    Reply Handle(const Request& request);

private:
    Reply Open(const std::string& volume);
    Reply Write(const std::vector<std::uint8_t>& frame);
    Reply Read(std::uint32_t length);
    void CloseDrive();

    WindowsHelperSystem system_;
    HANDLE drive_ = INVALID_HANDLE_VALUE;
};

}  // namespace quenfall::helper
