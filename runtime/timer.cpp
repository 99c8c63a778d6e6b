#include "runtime/timer.h"

#include "base/runtimeerror.h"

namespace lumora::runtime {

Timer::Timer(QObject *parent) : QObject(parent)
{
    // A coarse timer may fire a second-long interval up to 50 ms late; an interval is kept to
    // the millisecond, as the splash's one second and the show's steps need.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::fired);
}

void Timer::setInterval(int milliseconds)
{
    if (milliseconds < 0)
        throw RuntimeError(errors::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_interval = milliseconds;
    update();
}

void Timer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    update();
}

void Timer::update()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

} // namespace lumora::runtime
