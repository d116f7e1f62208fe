#pragma once

#include "windows/common/background_job.h"

#include <QTest>

// Waits, as a user would, until the posts or clears a window started have ended and shown their outcome.
inline void waitForBackgroundJobs(const QObject* window)
{
    for (const BackgroundJob* job : window->findChildren<BackgroundJob*>())
        QTRY_VERIFY_WITH_TIMEOUT(!job->isRunning(), 20000);
}
