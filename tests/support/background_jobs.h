#pragma once

#include "windows/common/background_job.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QThread>

// Waits, as a user would, until the posts or clears a window started have ended and shown their outcome,
// and returns at once then: before a refresh tick can follow on the window's short test interval.
inline void waitForBackgroundJobs(const QObject* window)
{
    const QDeadlineTimer deadline(20000);
    for (const BackgroundJob* job : window->findChildren<BackgroundJob*>()) {
        while (job->isRunning() && !deadline.hasExpired()) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
        QVERIFY2(!job->isRunning(), qPrintable(job->objectName()));
    }
}
