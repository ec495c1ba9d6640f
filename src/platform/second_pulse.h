#pragma once

#include <QObject>
#include <QTimer>

#include <optional>

namespace ticora {

class Clock;

// Decides, at each wake-up, whether a new wall-clock second has begun and how long to sleep
// until the next one. Kept free of timers so that any sequence of clock readings can be
// replayed against it.
class SecondAligner {
public:
    struct Wake {
        bool newSecond;
        int sleepMs;
    };

    explicit SecondAligner(qint64 nowMs);
    Wake wake(qint64 nowMs);

    // The clock reads whole milliseconds, so sleeping this long always lands at or just after
    // the next boundary, never before it.
    static int msUntilNextSecond(qint64 nowMs);

private:
    qint64 m_lastSecond;
};

// One wake-up per wall-clock second, landing just after the second begins. A plain 1000 ms
// timer drifts against the wall clock and now and then lets a whole second pass without a
// tick; this one is re-aimed at the clock on every wake-up, so it neither drifts nor skips,
// and it finds its way back within a second after a suspend or a clock change.
class SecondPulse : public QObject {
    Q_OBJECT
public:
    explicit SecondPulse(const Clock &clock, QObject *parent = nullptr);

    // Reads the clock, re-arms the timer, and emits second() if a new second has begun.
    // The timer calls this; so may anyone who has just moved the clock.
    void wake();

Q_SIGNALS:
    void second();

private:
    const Clock &m_clock;
    SecondAligner m_aligner;
    QTimer m_timer;
};

} // namespace ticora
