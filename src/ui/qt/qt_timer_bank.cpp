#include "ui/qt/qt_timer_bank.h"

namespace quenfall::ui {

QtTimerBank::QtTimerBank(QObject* parent) : QObject(parent) {
    for (std::size_t i = 0; i < TimerCount; ++i) {
        const auto id = static_cast<TimerId>(i);
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(TimerName(id).data(), static_cast<qsizetype>(TimerName(id).size())));
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(TimerInterval(id));
        connect(timer, &QTimer::timeout, this, [this, id] {
            if (dispatch_) dispatch_(id);
        });
        timers_[i] = timer;
    }
}

void QtTimerBank::SwitchOn(TimerId id) {
    QTimer* timer = timers_[static_cast<std::size_t>(id)];
    // QTimer::start would restart a running period; a running timer keeps its own.
    if (!timer->isActive()) timer->start();
}

void QtTimerBank::SwitchOff(TimerId id) { timers_[static_cast<std::size_t>(id)]->stop(); }

bool QtTimerBank::IsOn(TimerId id) const { return timers_[static_cast<std::size_t>(id)]->isActive(); }

}  // namespace quenfall::ui
