#include "session/interval_timer.h"

IntervalTimer::IntervalTimer(const QString& objectName, QObject* parent)
    : QObject(parent)
{
    setObjectName(objectName);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::tick);
}

void IntervalTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    restart();
}

void IntervalTimer::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    restart();
}

void IntervalTimer::restart()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}
