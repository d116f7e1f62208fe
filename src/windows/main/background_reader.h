#pragma once

#include "platform/files/file_access.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

class QThread;

// Runs the refresh's blocking file reads off the window's thread, so that a slow or dead share never
// freezes the window. Only the file call moves there: results come back to the user-interface thread,
// where every decision is made. Each read gets a thread of its own: a read stuck on a share that does
// not answer is given up on after a time limit and left to end on its own, and the next read is not
// queued behind it.
class BackgroundReader final : public QObject
{
    Q_OBJECT

public:
    // A little over the file-server backend's own limit, so that its more precise reason comes first.
    static constexpr std::chrono::milliseconds defaultTimeLimit{5000};

    explicit BackgroundReader(QObject* parent);
    ~BackgroundReader() override;

    using Read = std::function<FileReadResult()>;
    using Done = std::function<void(const FileReadResult&)>;
    // Runs read on a thread of its own; done runs later on this object's thread, unless this object is
    // gone, with the result or, once the time limit has passed, with a failure to read path.
    void run(const QString& path, Read read, Done done);
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    // Whether a reader went while a read was still stuck on a share: that read may still call the file
    // access it was given, which must then outlive it.
    static bool anyReadLeftRunning();

private:
    struct Receiver;
    // A read under way, or one given up on that may still be stuck.
    struct Started
    {
        QPointer<QThread> thread;
        QString path;
    };
    struct Pending
    {
        Done done;
        Started read;
    };

    void finish(quint64 id, const FileReadResult& result);
    void giveUp(quint64 id, const QString& path);
    qsizetype readsGivenUpStillRunning(const QString& path);

    std::shared_ptr<Receiver> m_receiver;
    std::chrono::milliseconds m_timeLimit = defaultTimeLimit;
    quint64 m_lastId = 0;
    std::map<quint64, Pending> m_pending;
    // Every thread started and not deleted yet, and the reads given up on.
    QList<QPointer<QThread>> m_threads;
    QList<Started> m_givenUp;
};
