#include "ui/qt/demo_radio_link.h"

#include "ui/qt/flash_form.h"

namespace quenfall::ui {

DemoRadioLink::DemoRadioLink(QObject* parent)
    : QObject(parent), EmulatedRadioLink([this](std::function<void()> task) {
          QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
      }) {
    advance_.setInterval(AdvanceIntervalMs);
    connect(&advance_, &QTimer::timeout, this, [this] { Advance(); });
    advance_.start();
}

void DemoRadioLink::AttachTo(TFlashForm& form) { EmulatedRadioLink::AttachTo(form.Window()); }

}  // namespace quenfall::ui
