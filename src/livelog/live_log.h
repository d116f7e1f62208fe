#pragma once

#include "livelog/log_lock.h"
#include "platform/files/file_access.h"

// The three operations that touch the live log, each building the path afresh from the share location.
// Posts and clears of all workstations take turns through a lock beside the log, and each rewrite
// replaces the log in one step, so no post is lost to another and a failure part-way leaves the old log.
namespace LiveLog {

// Retries briefly while the log is being replaced by another workstation.
FileReadResult read(FileAccess& files, Workstation& station, const QString& shareLocation);

// As read, into buffer, unless the log still has the identity known: the refresh cycle's reads. Anything
// but a plain look at the log (the log missing for a moment, a lock of this process in doubt) reads as read
// does and gives no identity.
FileRereadResult readIfChanged(FileAccess& files, Workstation& station, const QString& shareLocation,
                               const std::optional<FileIdentity>& known, QByteArray& buffer);

struct PostResult
{
    // Another post holding the lock, or a folder that refused it: then nothing was read.
    FileError lock;
    // The content the post was composed from, or why it could not be read.
    FileReadResult read;
    FileError write;

    bool logRead() const { return !lock.failed() && !read.error.failed(); }
    bool failed() const { return !logRead() || write.failed(); }
    const FileError& error() const { return lock.failed() ? lock : read.error.failed() ? read.error : write; }
};

// Puts the encoded own text in front of the content read now, under the lock, never of what a view
// shows. A post that fails writes nothing.
PostResult post(FileAccess& files, Workstation& station, const QString& shareLocation,
                const QByteArray& ownText, const Timing& timing = {});

FileError clear(FileAccess& files, Workstation& station, const QString& shareLocation,
                const Timing& timing = {});

// The error of a read for the user; a missing log's also says how a log comes into being.
QString describe(const FileError& readError);
// Only the read tells of a missing log: the lock and the rewrite miss their folder.
QString describe(const PostResult& result);

} // namespace LiveLog
