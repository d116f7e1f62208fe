#pragma once

#include "livelog/workstation.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSet>

// This machine's processes as a test declares them: only those it started run.
class FakeProcessProbe final : public LiveLog::ProcessProbe
{
public:
    bool running(qint64 processId) const override
    {
        const QMutexLocker locker(&m_mutex);
        return m_running.contains(processId);
    }
    void start(qint64 processId)
    {
        const QMutexLocker locker(&m_mutex);
        m_running.insert(processId);
    }
    void end(qint64 processId)
    {
        const QMutexLocker locker(&m_mutex);
        m_running.remove(processId);
    }

private:
    mutable QMutex m_mutex;
    QSet<qint64> m_running;
};
