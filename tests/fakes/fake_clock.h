#pragma once

#include "livelog/workstation.h"

#include <QMutex>
#include <QMutexLocker>
#include <algorithm>

// Virtual time: it stands still until something sleeps on it or a test moves it, so waits for a lock and
// stale ages pass at once. Starts at the real time, so that files dated by this machine's clock a moment
// ago look just as recent. Safe to share between threads.
class FakeClock final : public LiveLog::Clock
{
public:
    std::chrono::steady_clock::time_point now() const override
    {
        const QMutexLocker locker(&m_mutex);
        return std::chrono::steady_clock::time_point() + m_elapsed;
    }
    QDateTime utcNow() const override
    {
        const QMutexLocker locker(&m_mutex);
        return m_start.addMSecs(m_elapsed.count());
    }
    void sleep(std::chrono::milliseconds duration) override { advance(duration); }

    void advance(std::chrono::milliseconds duration)
    {
        const QMutexLocker locker(&m_mutex);
        m_elapsed += std::max(duration, std::chrono::milliseconds(0));
    }
    std::chrono::milliseconds elapsed() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_elapsed;
    }

private:
    mutable QMutex m_mutex;
    const QDateTime m_start = QDateTime::currentDateTimeUtc();
    std::chrono::milliseconds m_elapsed{0};
};
