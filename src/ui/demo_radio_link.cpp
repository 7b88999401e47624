#include "ui/demo_radio_link.h"

#include "ui/flash_form.h"

namespace quenfall::ui {

DemoRadioLink::DemoRadioLink(QObject* parent) : QObject(parent) {
    Rebuild(ProfileSelection{});
    // The radio comes back on the bus by itself; it only notices when something calls it.
    advance_.setInterval(50);
    connect(&advance_, &QTimer::timeout, this, [this] { radio_->Advance(); });
    advance_.start();
}

std::uint16_t DemoRadioLink::ScanDrives() { return radio_->ScanDrives(); }

OpenResult DemoRadioLink::OpenDevice() { return radio_->OpenDevice(); }

void DemoRadioLink::Adopt(const Package& package) {
    const ProfileSelection& wanted = package.Selection;
    const ProfileSelection& current = selection_;
    if (wanted.ProfileIndex == current.ProfileIndex && wanted.ScrambleMode == current.ScrambleMode &&
        wanted.CodeBank == current.CodeBank && wanted.RequestVariant == current.RequestVariant) {
        return;
    }
    Rebuild(wanted);
}

void DemoRadioLink::AttachTo(TFlashForm& form) {
    SetPresenceCallback([&form] { form.UsbDeviceChanged(); });
    connect(&form, &TFlashForm::PackageAccepted, this,
            [this](const std::shared_ptr<const Package>& package) { Adopt(*package); });
}

void DemoRadioLink::SetPresenceCallback(std::function<void()> callback) {
    presenceChanged_ = std::move(callback);
}

void DemoRadioLink::Rebuild(const ProfileSelection& selection) {
    EmulatedRadioConfig config;
    config.Selection = selection;
    selection_ = selection;
    config.KeepFrameLog = false;
    radio_ = std::make_unique<EmulatedRadio>(config);
    radio_->SetPresenceCallback([this](bool) {
        // The radio reports from inside a scan or a read; the watch must not run there.
        QMetaObject::invokeMethod(
            this, [this] { if (presenceChanged_) presenceChanged_(); }, Qt::QueuedConnection);
    });
}

}  // namespace quenfall::ui
