#include "platform/windows/windows_command_channel.h"

#include <algorithm>

#include "helper/server/windows/pass_through_windows.h"

namespace quenfall {

namespace {

class WindowsDeviceChannel final : public DeviceChannel {
public:
    explicit WindowsDeviceChannel(HANDLE handle) : handle_(handle) {}
    ~WindowsDeviceChannel() override { CloseHandle(handle_); }
    WindowsDeviceChannel(const WindowsDeviceChannel&) = delete;
    WindowsDeviceChannel& operator=(const WindowsDeviceChannel&) = delete;

    CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override {
        PassThroughRequest buffer;
        BuildPassThrough(buffer, VendorCommand::Write, data);
        return IssuePassThrough(handle_, buffer);
    }

    CommandOutcome ScsiRead(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        PassThroughRequest request;
        BuildPassThrough(request, VendorCommand::Read, buffer);
        return IssuePassThrough(handle_, request);
    }

private:
    HANDLE handle_;
};

}  // namespace

std::unique_ptr<DeviceChannel> MakePassThroughChannel(HANDLE handle) {
    return std::make_unique<WindowsDeviceChannel>(handle);
}

}  // namespace quenfall
