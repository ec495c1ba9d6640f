#include "fakes.h"
#include "platform/second_pulse.h"

#include <QSignalSpy>
#include <QTest>

using namespace ticora;
using namespace ticora::testing;

class SecondPulseTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void alignerSleepsToTheNextBoundary_data()
    {
        QTest::addColumn<qint64>("nowMs");
        QTest::addColumn<int>("sleepMs");
        QTest::newRow("on the boundary") << qint64(5000) << 1000;
        QTest::newRow("just after") << qint64(5001) << 999;
        QTest::newRow("mid-second") << qint64(5500) << 500;
        QTest::newRow("last millisecond") << qint64(5999) << 1;
        QTest::newRow("before the epoch") << qint64(-1) << 1;
        QTest::newRow("well before the epoch") << qint64(-1500) << 500;
    }
    void alignerSleepsToTheNextBoundary()
    {
        QFETCH(qint64, nowMs);
        QFETCH(int, sleepMs);
        QCOMPARE(SecondAligner::msUntilNextSecond(nowMs), sleepMs);
        QVERIFY((nowMs + sleepMs) % 1000 == 0);
    }

    // Replays wake-ups as a timer might deliver them: early, late, twice in one second, across
    // clock steps. Each wall-clock second the wake-ups reach must be reported exactly once.
    void alignerReportsEachSecondOnce_data()
    {
        QTest::addColumn<QList<qint64>>("wakes");
        QTest::addColumn<QList<bool>>("newSecond");
        QTest::newRow("punctual") << QList<qint64>{1001, 2001, 3001}
                                  << QList<bool>{true, true, true};
        QTest::newRow("woken early, then on time")
            << QList<qint64>{999, 1000} << QList<bool>{false, true};
        QTest::newRow("two wakes in one second")
            << QList<qint64>{1001, 1500, 2003} << QList<bool>{true, false, true};
        QTest::newRow("late by most of a second")
            << QList<qint64>{1999, 2001} << QList<bool>{true, true};
        QTest::newRow("clock stepped forward")
            << QList<qint64>{1001, 3'600'001, 3'601'001} << QList<bool>{true, true, true};
        QTest::newRow("clock stepped back")
            << QList<qint64>{5001, 2001, 3001} << QList<bool>{true, true, true};
        QTest::newRow("stepped back within the second")
            << QList<qint64>{5900, 5100} << QList<bool>{true, false};
    }
    void alignerReportsEachSecondOnce()
    {
        QFETCH(QList<qint64>, wakes);
        QFETCH(QList<bool>, newSecond);
        SecondAligner aligner(500);
        for (qsizetype i = 0; i < wakes.size(); ++i) {
            const auto wake = aligner.wake(wakes[i]);
            QVERIFY2(wake.newSecond == newSecond[i], qPrintable(QString::number(wakes[i])));
            QCOMPARE(wake.sleepMs, SecondAligner::msUntilNextSecond(wakes[i]));
        }
    }

    void pulseTicksOncePerSecondOfTheClock()
    {
        FakeClock clock(QDateTime(QDate(2026, 12, 11), QTime(23, 59, 58, 400)));
        SecondPulse pulse(clock);
        QSignalSpy seconds(&pulse, &SecondPulse::second);

        pulse.wake(); // still the same second: nothing
        QCOMPARE(seconds.size(), 0);
        for (int i = 1; i <= 5; ++i) { // across midnight
            clock.advanceSecond();
            pulse.wake();
            pulse.wake();
            QCOMPARE(seconds.size(), i);
        }
        clock.set(clock.now().addSecs(-3600)); // set back an hour
        pulse.wake();
        QCOMPARE(seconds.size(), 6);
        clock.set(clock.now().addDays(1)); // forward a day
        pulse.wake();
        QCOMPARE(seconds.size(), 7);
    }

    // A listener that sits in a modal box must not stop the seconds: the pulse is re-armed
    // before the listeners hear of the new second.
    void pulseIsReArmedBeforeListenersRun()
    {
        FakeClock clock(QDateTime(QDate(2026, 12, 11), QTime(10, 0, 0, 300)));
        SecondPulse pulse(clock);
        bool timerRunningInsideListener = false;
        connect(&pulse, &SecondPulse::second, this, [&] {
            const auto timers = pulse.findChildren<QTimer *>();
            timerRunningInsideListener = std::any_of(timers.begin(), timers.end(),
                                                     [](QTimer *t) { return t->isActive(); });
        });
        clock.advanceSecond();
        pulse.wake();
        QVERIFY(timerRunningInsideListener);
    }
};

QTEST_GUILESS_MAIN(SecondPulseTest)
#include "tst_second_pulse.moc"
