// The window's timers keep the timer bank's contract on real Qt timers.
#include <QElapsedTimer>
#include <QtTest>
#include <vector>

#include "ui/qt/qt_timer_bank.h"

using namespace quenfall;
using namespace quenfall::ui;

class TimerBankTest : public QObject {
    Q_OBJECT
private slots:
    void switchingOnARunningTimerKeepsItsPeriod() {
        QtTimerBank bank;
        QElapsedTimer clock;
        qint64 firedAt = -1;
        bank.SetDispatch([&](TimerId id) {
            if (id != TimerId::Connect) return;
            firedAt = clock.elapsed();
            bank.SwitchOff(id);
        });
        clock.start();
        bank.SwitchOn(TimerId::Connect);
        QTest::qWait(900);
        QVERIFY(bank.IsOn(TimerId::Connect));
        bank.SwitchOn(TimerId::Connect);
        QTRY_VERIFY_WITH_TIMEOUT(firedAt >= 0, 5000);
        // A restarted period would fire 1900 ms after the start at the earliest.
        QVERIFY2(firedAt >= 995 && firedAt < 1800, qPrintable(QString::number(firedAt)));
    }

    void switchingOffInsideTheHandlerEndsTheFirings() {
        QtTimerBank bank;
        std::vector<TimerId> fired;
        bank.SetDispatch([&](TimerId id) {
            fired.push_back(id);
            if (id == TimerId::Check) bank.SwitchOff(TimerId::Check);
        });
        bank.SwitchOn(TimerId::Check);
        bank.SwitchOn(TimerId::Update);
        QTRY_VERIFY_WITH_TIMEOUT(std::count(fired.begin(), fired.end(), TimerId::Update) >= 5, 5000);
        bank.SwitchOff(TimerId::Update);
        QCOMPARE(std::count(fired.begin(), fired.end(), TimerId::Check), 1);
        QVERIFY(!bank.IsOn(TimerId::Check));
        QVERIFY(!bank.IsOn(TimerId::Update));
        const auto total = fired.size();
        QTest::qWait(50);
        QCOMPARE(fired.size(), total);
    }

    void everyTimerIsPreciseWithItsInterval() {
        QtTimerBank bank;
        const QList<QTimer*> timers = bank.findChildren<QTimer*>();
        QCOMPARE(timers.size(), static_cast<qsizetype>(TimerCount));
        for (std::size_t i = 0; i < TimerCount; ++i) {
            const auto id = static_cast<TimerId>(i);
            auto* timer = bank.findChild<QTimer*>(QString::fromLatin1(TimerName(id).data(), static_cast<qsizetype>(TimerName(id).size())));
            QVERIFY(timer != nullptr);
            QCOMPARE(timer->timerType(), Qt::PreciseTimer);
            QCOMPARE(timer->intervalAsDuration(), TimerInterval(id));
            QVERIFY(!timer->isActive());
        }
    }
};

QTEST_MAIN(TimerBankTest)
#include "qt_timer_bank_test.moc"
