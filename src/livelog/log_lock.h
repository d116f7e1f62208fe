#pragma once

#include "livelog/busy_retry.h"
#include "livelog/log_folder.h"
#include "livelog/stale_rule.h"
#include "livelog/workstation.h"
#include "platform/files/file_access.h"

#include <chrono>
#include <optional>

// How the writers of all workstations share the live log's folder (names in LogFolder):
//
//   file           written by                                removed
//   log            the lock's holder, by one rename          never; a clear rewrites it
//   .LOCK          each post and clear, created exclusive    by its holder when done; by anyone once stale
//   .LOCK.BREAK    a waiter removing a stale lock            by it at once; by anyone past the stale age
//   .OLD           the holder, where a rename cannot replace by the holder once the new log is in place
//   <tag>.TMP      the holder: the next log                  renamed onto the log
//   <tag>.CLOCK    a waiter asking the server's time         at once
//   <tag>.NEWLOCK  a lock being made whole, by backends      at once
//                  that need a scratch file for it
// A gone writer's tagged files are removed by the next holder once its post has landed.
//
// Stale (StaleRule): a process of this machine that no longer runs; else older than the stale age on the
// file server's clock, or, for a lock that gives no age (unreadable, half-written, dated ahead), unchanged
// for that long. A holder rewrites its lock during long posts, so no live writer's lock gets that old.
//
// Accepted: a holder that stalls for the stale age after its last look at its lock and before its rename
// overwrites the post of the writer that took over; a waiter that stops while breaking a lock keeps
// others from breaking it until its breaker is stale; a lock whose create a silent server carried out
// late is removed by this process once the share answers, by others only once it is stale.

namespace LiveLog {

struct Timing
{
    // How long a post waits for another workstation's post before it gives up.
    std::chrono::milliseconds lockWait{defaultLockWait};
    // A lock older than this on the file server's clock, or unchanged for this long by it, belongs to a
    // writer that is gone; so do its temporary files.
    std::chrono::milliseconds staleAfter{10000};
};

// The exclusive lock beside the live log that serialises posts and clears between workstations: a file
// created with exclusive-create semantics that names its holder. Waiting blocks the calling thread and
// never runs the event loop, so no other handler starts in the middle of a post.
class LogLock
{
public:
    LogLock(FileAccess& files, Workstation& station, const LogFolder& folder, const Timing& timing);
    ~LogLock();
    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;

    // Waits up to the lock wait, removing a lock whose writer is gone. The error names the holder.
    FileError acquire();
    // A post or clear of this process that gave up while its lock was being made or removed, for want of
    // an answer from the file server, may have left the lock behind once the server caught up: empty,
    // half-written or whole. Whether that may be so for this log.
    static bool inDoubt(const Workstation& station, const LogFolder& folder)
    {
        return station.inDoubt(folder.lock());
    }
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
        std::optional<qint64> modified;
        QString host;
        QString machine;
        qint64 process = 0;
        QString token;
        QString since;
        // Its time is ahead of the file server's clock, so its age says nothing.
        bool datedAhead = false;

        LockState state() const { return {bytes, readError.message, modified}; }
        bool sameAs(const Holder& other) const { return state() == other.state(); }
        // Whether only staying unchanged can show that its writer is gone.
        bool odd() const
        {
            return !readError.is(FileError::Kind::missing) &&
                   (readError.failed() || host.isEmpty() || datedAhead);
        }
    };
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
    Workstation& m_station;
    LogFolder m_folder;
    QString m_lockPath;
    Timing m_timing;
    StaleRule m_stale;
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
