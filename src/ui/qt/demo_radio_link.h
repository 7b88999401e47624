#pragma once
// The radio behind --emulate (window::EmulatedRadioLink) on Qt's event loop: its notices are
// queued to the loop, and a Qt timer lets its time pass.
#include <QObject>
#include <QTimer>

#include "window/emulated_radio_link.h"

namespace quenfall::ui {

class TFlashForm;

class DemoRadioLink : public QObject, public window::EmulatedRadioLink {
    Q_OBJECT
public:
    explicit DemoRadioLink(QObject* parent = nullptr);

    // Feeds the radio's comings and goings to form's device watch, and follows the model of
    // every package form accepts.
    void AttachTo(TFlashForm& form);

private:
    QTimer advance_;
};

}  // namespace quenfall::ui
