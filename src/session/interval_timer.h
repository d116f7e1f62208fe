#pragma once

#include <QObject>
#include <QTimer>

// A timer with the two settings the windows use: it ticks only while it is enabled and has an interval
// above 0, and enabling it (or giving an enabled timer an interval) restarts its wait. A bare QTimer
// started with interval 0 would fire at every pass of the event loop instead.
class IntervalTimer final : public QObject
{
    Q_OBJECT

public:
    IntervalTimer(const QString& objectName, QObject* parent);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    int interval() const { return m_interval; }
    void setInterval(int milliseconds);
    // Whether ticks are actually due.
    bool isRunning() const { return m_timer.isActive(); }
    // Ticks now if ticks are due, as when the wait ends: tests run the timer in their own time.
    void fire()
    {
        if (isRunning())
            emit tick();
    }

signals:
    void tick();

private:
    void restart();

    QTimer m_timer;
    bool m_enabled = false;
    int m_interval = 0;
};
