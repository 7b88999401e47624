// The window's timers on real Qt timers: the timer bank's contract, and what only Qt's timers
// need (each a precise timer with its interval, named after it).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include "timer_bank_contract.h"
#include "ui/qt/qt_timer_bank.h"

using namespace quenfall;
using namespace quenfall::ui;

namespace {

class QtRig : public test::TimerBankRig {
public:
    QtRig() { clock_.start(); }
    TimerBank& Bank() override { return bank_; }
    void SetDispatch(std::function<void(TimerId)> dispatch) override { bank_.SetDispatch(std::move(dispatch)); }
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) override {
        QElapsedTimer waited;
        waited.start();
        while (!done()) {
            const qint64 left = limit.count() - waited.elapsed();
            if (left <= 0) return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, static_cast<int>(std::min<qint64>(left, 5)));
        }
        return true;
    }
    std::chrono::milliseconds Elapsed() override { return std::chrono::milliseconds(clock_.elapsed()); }

private:
    QtTimerBank bank_;
    QElapsedTimer clock_;
};

std::unique_ptr<test::TimerBankRig> MakeQtRig() { return std::make_unique<QtRig>(); }

using quenfall::test::TimerBankContract;
INSTANTIATE_TEST_SUITE_P(QtTimerBank, TimerBankContract, ::testing::Values(&MakeQtRig), quenfall::test::RigName);

TEST(QtTimerBank, EveryTimerIsPreciseWithItsInterval) {
    QtTimerBank bank;
    const QList<QTimer*> timers = bank.findChildren<QTimer*>();
    EXPECT_EQ(timers.size(), static_cast<qsizetype>(TimerCount));
    for (std::size_t i = 0; i < TimerCount; ++i) {
        const auto id = static_cast<TimerId>(i);
        auto* timer = bank.findChild<QTimer*>(QString::fromLatin1(TimerName(id).data(), static_cast<qsizetype>(TimerName(id).size())));
        ASSERT_NE(timer, nullptr) << TimerName(id);
        EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
        EXPECT_EQ(timer->intervalAsDuration(), TimerInterval(id));
        EXPECT_FALSE(timer->isActive());
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
