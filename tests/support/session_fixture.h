#pragma once

#include "fakes/fault_injecting_file_access.h"
#include "fakes/recording_prompts.h"
#include "livelog/this_workstation.h"
#include "session/chat_session.h"

#include <QList>
#include <QTemporaryDir>
#include <memory>

class FileWorker;
class IntervalTimer;

// A chat session on its own temporary share folder, with no window: what it shows is recorded, and its
// refresh timer only ticks when a test fires it, so the test runs in its own time.
class SessionFixture
{
public:
    explicit SessionFixture(
        std::shared_ptr<FaultInjectingFileAccess> files = std::make_shared<FaultInjectingFileAccess>());

    QString share() const { return m_shareDir.path(); }
    QString logPath() const;
    void writeLog(const QByteArray& bytes) const;
    QByteArray readLog() const;

    // Loads with the share folder (or none) and the switch ticked or not, as the main window's load does.
    void load(bool withShare, bool ticked);
    IntervalTimer& refreshTimer() const;
    FileWorker& worker() const;
    // Fires the refresh timer and waits until its read has ended.
    void tick();
    void waitForRead();
    void waitForChange();

    const std::shared_ptr<FaultInjectingFileAccess> sharedFiles;
    FaultInjectingFileAccess& files;
    const std::shared_ptr<LiveLog::Workstation> workstation = LiveLog::thisWorkstation();
    RecordingPrompts prompts;
    ChatSession session;

    QList<ChatSession::Status> statuses;
    QList<QByteArray> logs;
    QStringList failures;
    int posted = 0;
    int postsEnded = 0;
    int closesWanted = 0;

private:
    QTemporaryDir m_shareDir;
};
