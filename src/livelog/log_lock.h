#pragma once

#include "livelog/busy_retry.h"
#include "platform/file_access.h"

#include <chrono>
#include <optional>

namespace LiveLog {

struct Timing
{
    // How long a post waits for another workstation's post before it gives up.
    std::chrono::milliseconds lockWait{defaultLockWait};
    // A lock older than this on the file server's clock belongs to a writer that is gone.
    std::chrono::milliseconds staleAfter{10000};
    // Temporary files of a crashed writer older than this are removed.
    std::chrono::milliseconds leftoverAge{std::chrono::minutes(5)};
};

template <typename Call> auto retryWhileBusy(Call call)
{
    return retryWhileBusy(call, [](const auto& result) { return errorOf(result).is(FileError::Kind::busy); });
}

// This process as the writer that a lock and a temporary file name.
struct Writer
{
    QString host;
    qint64 process = 0;

    static const Writer& self();
    // Host and process, safe in a file name.
    QString fileTag() const;
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
    // Called between the steps of a long post: refreshes the lock's time on the server so that nobody
    // judges it stale, and fails when another writer has taken it over meanwhile.
    FileError keepAlive();
    void release();

private:
    struct Holder
    {
        QByteArray bytes;
        QString host;
        qint64 process = 0;
        QString token;
        QString since;
    };
    static Holder parse(const QByteArray& bytes);
    bool isStale(const Holder& holder);
    bool olderThanStaleLimit();
    bool removeIfUnchanged(const Holder& holder);
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
    std::optional<QByteArray> m_aged;
    std::chrono::steady_clock::time_point m_agedAt;
};

} // namespace LiveLog
