#pragma once
// The radio behind --emulate: an emulated radio that follows the model of the package
// loaded last, so any valid package can be tried out without hardware. Its comings and
// goings (the restart into boot mode, unplugging) reach the window as USB notices.
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "package/package.h"
#include "radio/emulated_radio.h"
#include "upgrade/device_link.h"

namespace quenfall::ui {

class TFlashForm;

class DemoRadioLink : public QObject, public DeviceLink {
    Q_OBJECT
public:
    explicit DemoRadioLink(QObject* parent = nullptr);

    std::uint16_t ScanDrives() override;
    OpenResult OpenDevice() override;

    // Becomes a radio of the package's model. A channel opened earlier stays usable.
    void Adopt(const Package& package);
    // Called, from the event loop and never from inside a radio call, for each arrival
    // and removal.
    void SetPresenceCallback(std::function<void()> callback);
    EmulatedRadio& Radio() { return *radio_; }

    // Feeds the radio's comings and goings to form's device watch, and follows the model of
    // every package form accepts.
    void AttachTo(TFlashForm& form);

private:
    void Rebuild(const ProfileSelection& selection);

    std::unique_ptr<EmulatedRadio> radio_;
    ProfileSelection selection_;
    std::function<void()> presenceChanged_;
    QTimer advance_;
};

}  // namespace quenfall::ui
