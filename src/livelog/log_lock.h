#pragma once

#include "livelog/busy_retry.h"
#include "platform/files/file_access.h"

#include <chrono>
#include <optional>

namespace LiveLog {

struct Timing
{
    // How long a post waits for another workstation's post before it gives up.
    std::chrono::milliseconds lockWait{defaultLockWait};
    // A lock older than this on the file server's clock, or unchanged for this long by it, belongs to a
    // writer that is gone; so do its temporary files.
    std::chrono::milliseconds staleAfter{10000};
};

template <typename Call> auto retryWhileBusy(Call call)
{
    return retryWhileBusy(call, [](const auto& result) { return errorOf(result).is(FileError::Kind::busy); });
}

// This process as the writer that a lock and a temporary file name.
struct Writer
{
    QString host;
    // Tells this machine's current run from other machines of the same host name (cloned systems, or
    // installers' default names) and from its own runs before a restart; empty where the system offers
    // no such identity. Process ids mean something only within it.
    QString machine;
    qint64 process = 0;

    static const Writer& self();
    // Host, machine and process, safe in a file name.
    QString fileTag() const;
    // The process that a file tag names when it is one of this writer's machine.
    std::optional<qint64> processOnThisMachine(const QString& tag) const;
    // Whether the process of this machine that a lock names can be asked whether it still runs.
    bool isOnThisMachine(const QString& otherHost, const QString& otherMachine) const;
};

// The exclusive lock beside the live log that serialises posts and clears between workstations: a file
// created with exclusive-create semantics that names its holder. Waiting blocks the calling thread and
// never runs the event loop, so no other handler starts in the middle of a post.
class LogLock
{
public:
    LogLock(FileAccess& files, const QString& logPath, const Timing& timing);
    ~LogLock();
    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;

    static QString lockPath(const QString& logPath) { return logPath + QStringLiteral(".LOCK"); }

    // Waits up to the lock wait, removing a lock whose writer is gone. The error names the holder.
    FileError acquire();
    // A post or clear of this process that gave up while its lock was being made or removed, for want of
    // an answer from the file server, may have left the lock behind once the server caught up: empty,
    // half-written or whole. Whether that may be so for this log.
    static bool inDoubt(const QString& logPath);
    // Removes such a lock once the share answers again; one that another writer has taken meanwhile stays.
    void settleDoubt();
    // Called between the steps of a long post: refreshes the lock's time on the server so that nobody
    // judges it stale, and fails when another writer has taken it over meanwhile.
    FileError keepAlive();
    void release();

private:
    // What one look at the lock found.
    struct Holder
    {
        QByteArray bytes;
        FileError readError;
        // By the file server's clock, when it could be asked.
        std::optional<qint64> modified;
        QString host;
        QString machine;
        qint64 process = 0;
        QString token;
        QString since;
        // Its time is ahead of the file server's clock, so its age says nothing.
        bool datedAhead = false;

        bool sameAs(const Holder& other) const
        {
            return bytes == other.bytes && readError.message == other.readError.message &&
                   modified == other.modified;
        }
        // Whether only staying unchanged can show that its writer is gone.
        bool odd() const
        {
            return !readError.is(FileError::Kind::missing) &&
                   (readError.failed() || host.isEmpty() || datedAhead);
        }
    };
    struct Sightings;
    static Sightings& sightings();
    struct Doubts;
    static Doubts& doubts();
    void doubtAfter(const FileError& error, const QByteArray& content);
    FileError create();
    static Holder parse(const QByteArray& bytes);
    FileReadResult readLock();
    Holder inspect();
    // Whether the lock still holds this writer's content: another may have judged it stale and taken
    // it over.
    bool stillOurs();
    bool isStale(Holder& holder);
    std::optional<qint64> serverNow();
    bool unchangedPastStaleAge(const Holder& holder, qint64 now);
    bool removeIfUnchanged(const Holder& holder);
    void removeBreakerLeftBehind(const QString& breakerPath);
    bool heldLong() const;
    FileError heldBy(const Holder& holder) const;

    FileAccess& m_files;
    QString m_logPath;
    QString m_lockPath;
    Timing m_timing;
    QByteArray m_content;
    bool m_held = false;
    std::chrono::steady_clock::time_point m_refreshed;
    // The lock whose age was last asked of the server, and when.
    std::optional<Holder> m_aged;
    std::chrono::steady_clock::time_point m_agedAt;
    // Why a lock left behind could not be removed.
    FileError m_removeFailure;
};

} // namespace LiveLog
