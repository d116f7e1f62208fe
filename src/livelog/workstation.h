#pragma once

#include "livelog/busy_retry.h"
#include "platform/files/file_access.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <chrono>
#include <memory>
#include <optional>

namespace LiveLog {

// Time as the live log's writers need it: steady time for their own waits, wall time for what a lock tells
// its readers, and the pauses between tries. Tests hand in one that only moves when it is slept on.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::time_point now() const = 0;
    virtual QDateTime utcNow() const = 0;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

class SystemClock final : public Clock
{
public:
    std::chrono::steady_clock::time_point now() const override { return std::chrono::steady_clock::now(); }
    QDateTime utcNow() const override { return QDateTime::currentDateTimeUtc(); }
    void sleep(std::chrono::milliseconds duration) override;
};

// Whether a process of this machine still runs: the only sure sign that a writer of this machine is gone.
class ProcessProbe
{
public:
    virtual ~ProcessProbe() = default;
    virtual bool running(qint64 processId) const = 0;
};

// A process as the writer that a lock and a temporary file name.
struct Writer
{
    QString host;
    // Tells this machine's current run from other machines of the same host name (cloned systems, or
    // installers' default names) and from its own runs before a restart; empty where the system offers
    // no such identity. Process ids mean something only within it.
    QString machine;
    qint64 process = 0;

    static Writer ofThisProcess();
    // Host, machine and process, safe in a file name.
    QString fileTag() const;
    // The process that a file tag names when it is one of this writer's machine.
    std::optional<qint64> processOnThisMachine(const QString& tag) const;
    // Whether the process of this machine that a lock names can be asked whether it still runs.
    bool isOnThisMachine(const QString& otherHost, const QString& otherMachine) const;
};

// What tells one state of a lock from the next: a writer at work rewrites its lock, and every rewrite gets
// a new time on the server.
struct LockState
{
    QByteArray bytes;
    QString readError;
    // By the file server's clock, when it could be asked.
    std::optional<qint64> modified;

    bool operator==(const LockState&) const = default;
};

// This process as a writer of live logs: who it is, and what it remembers between posts about the locks
// it met. The program makes one and shares it with every thread that touches a live log.
class Workstation
{
public:
    Workstation(Writer self, std::shared_ptr<Clock> clock, std::shared_ptr<ProcessProbe> processes);
    Workstation(const Workstation&) = delete;
    Workstation& operator=(const Workstation&) = delete;

    const Writer& self() const { return m_self; }
    Clock& clock() const { return *m_clock; }
    bool processRunning(qint64 processId) const { return m_processes->running(processId); }

    template <typename Call> auto retryWhileBusy(Call call)
    {
        return LiveLog::retryWhileBusy(
            call, [](const auto& result) { return errorOf(result).is(FileError::Kind::busy); },
            [this](std::chrono::milliseconds pause) { m_clock->sleep(pause); });
    }

    // A lock's scratch file is named after this process, so two of its threads never make one at once.
    template <typename Call> auto oneCreateAtATime(Call call)
    {
        const QMutexLocker locker(&m_creating);
        return call();
    }

    // A lock of this process that a server which did not answer may have left at lockPath.
    void doubt(const QString& lockPath, const QByteArray& content);
    bool inDoubt(const QString& lockPath) const;
    std::optional<QByteArray> takeDoubt(const QString& lockPath);

    // When the lock at lockPath was first seen in this state, by the file server's clock. Kept across
    // posts, since one post waits less than the stale age; a change, or a server clock set back, starts
    // the count again.
    qint64 firstSeen(const QString& lockPath, const LockState& state, qint64 serverNow);

private:
    struct Sighting
    {
        LockState lock;
        qint64 firstSeen = 0;
    };

    const Writer m_self;
    const std::shared_ptr<Clock> m_clock;
    const std::shared_ptr<ProcessProbe> m_processes;
    QMutex m_creating;
    mutable QMutex m_mutex;
    QHash<QString, QByteArray> m_doubts;
    QHash<QString, Sighting> m_sightings;
};

} // namespace LiveLog
