#pragma once

#include "session/file_worker.h"

#include <QSignalSpy>
#include <QTest>

// Waits, as a user would, until the posts or clears a window started have ended and shown their outcome,
// and returns at once then: before a refresh tick can follow on the window's short test interval. The
// worker belongs to the main window's session, which the settings window shares.
inline void waitForBackgroundJobs(const QObject* window)
{
    const QObject* root = window;
    while (root->parent())
        root = root->parent();
    for (FileWorker* worker : root->findChildren<FileWorker*>()) {
        QSignalSpy ended(worker, &FileWorker::changeEnded);
        // A login asked for between tries starts the change again from its end.
        while (worker->isChanging())
            QVERIFY2(ended.wait(20000), "a post or clear did not end");
    }
}
