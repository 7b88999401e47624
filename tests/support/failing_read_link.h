#pragma once
// A radio whose drive answers every read with an error the link does not handle, so that
// the poll timer's handler fails on every tick: what the window's error display must bear
// without stacking one box per tick. Shared by the window's tests with and without Qt.
#include <memory>
#include <span>
#include <stdexcept>

#include "emulator/emulated_radio.h"
#include "upgrade/device_link.h"

namespace quenfall::test {

class FailingReadLink : public DeviceLink {
public:
    explicit FailingReadLink(EmulatedRadio& radio) : radio_(radio) {}
    std::uint16_t ScanDrives() override { return radio_.ScanDrives(); }
    OpenResult OpenDevice() override {
        OpenResult result = radio_.OpenDevice();
        if (result.Channel) result.Channel = std::make_unique<Channel>(std::move(result.Channel));
        return result;
    }

private:
    class Channel : public DeviceChannel {
    public:
        explicit Channel(std::unique_ptr<DeviceChannel> inner) : inner_(std::move(inner)) {}
        CommandOutcome ScsiWrite(std::span<const std::uint8_t> data) override { return inner_->ScsiWrite(data); }
        CommandOutcome ScsiRead(std::span<std::uint8_t>) override { throw std::runtime_error("the drive went away"); }

    private:
        std::unique_ptr<DeviceChannel> inner_;
    };
    EmulatedRadio& radio_;
};

}  // namespace quenfall::test
