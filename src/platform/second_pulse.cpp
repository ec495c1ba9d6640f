#include "second_pulse.h"

#include "services.h"

namespace ticora {

namespace {

qint64 secondOf(qint64 ms)
{
    // Floor division: readings before the epoch still fall into the right second.
    return ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
}

} // namespace

SecondAligner::SecondAligner(qint64 nowMs)
    : m_lastSecond(secondOf(nowMs))
{}

SecondAligner::Wake SecondAligner::wake(qint64 nowMs)
{
    const qint64 second = secondOf(nowMs);
    // Any change of second counts, backwards too: after the clock is set back, the seconds
    // it passes through again are new seconds on the wall and must be ticked.
    const bool isNew = second != m_lastSecond;
    m_lastSecond = second;
    return {isNew, msUntilNextSecond(nowMs)};
}

int SecondAligner::msUntilNextSecond(qint64 nowMs)
{
    return int(1000 - (nowMs - secondOf(nowMs) * 1000));
}

SecondPulse::SecondPulse(const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_aligner(clock.now().toMSecsSinceEpoch())
    , m_timer(this)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SecondPulse::wake);
    m_timer.start(SecondAligner::msUntilNextSecond(clock.now().toMSecsSinceEpoch()));
}

void SecondPulse::wake()
{
    const auto wake = m_aligner.wake(m_clock.now().toMSecsSinceEpoch());
    // Re-arm before anyone is told: a listener may sit in a modal box for a long time, and
    // the seconds must go on meanwhile.
    m_timer.start(wake.sleepMs);
    if (wake.newSecond)
        Q_EMIT second();
}

} // namespace ticora
