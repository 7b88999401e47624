#include "runs/radio_source.h"

namespace quenfall {

PlatformRadioSource::PlatformRadioSource(Connect connect, UsbEvents usbEvents)
    : connect_(std::move(connect)), usbEvents_(std::move(usbEvents)) {}

std::vector<RadioDrive> PlatformRadioSource::Drives() {
    if (!scanner_) scanner_ = connect_();
    if (!scanner_) return {};
    scanner_->ScanDrives();
    return scanner_->ListedDrives();
}

CrateRadio PlatformRadioSource::Bind(const RadioDrive& drive) {
    CrateRadio radio;
    radio.Drive = drive;
    radio.Link = std::make_unique<LocatedDeviceLink>(connect_(), drive);
    if (usbEvents_) radio.TakeUsbEvents = usbEvents_(drive.Location);
    return radio;
}

}  // namespace quenfall
