#pragma once
// The seven timers of the window as Qt timers on the window's thread. Precise timers, since
// the upgrade counts ticks of 10 ms; a coarse timer could stretch every answer window by
// up to 5 %.
#include <QObject>
#include <QTimer>
#include <array>
#include <functional>

#include "upgrade/timer_bank.h"

namespace quenfall::ui {

class QtTimerBank : public QObject, public TimerBank {
    Q_OBJECT
public:
    using Dispatch = std::function<void(TimerId)>;
    explicit QtTimerBank(QObject* parent = nullptr);
    void SetDispatch(Dispatch dispatch) { dispatch_ = std::move(dispatch); }

    void SwitchOn(TimerId id) override;
    void SwitchOff(TimerId id) override;
    bool IsOn(TimerId id) const override;

private:
    std::array<QTimer*, TimerCount> timers_{};
    Dispatch dispatch_;
};

}  // namespace quenfall::ui
