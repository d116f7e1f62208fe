#pragma once

#include "livelog/log_lock.h"
#include "platform/file_access.h"

// The three operations that touch the live log, each building the path afresh from the share location.
// Posts and clears of all workstations take turns through a lock beside the log, and each rewrite
// replaces the log in one step, so no post is lost to another and a failure part-way leaves the old log.
namespace LiveLog {

// Retries briefly while the log is being replaced by another workstation.
FileReadResult read(FileAccess& files, const QString& shareLocation);

struct PostResult
{
    // The content the post was composed from; when the lock or the read failed, its error.
    FileReadResult read;
    FileError write;

    bool failed() const { return read.error.failed() || write.failed(); }
    const FileError& error() const { return read.error.failed() ? read.error : write; }
};

// Puts the encoded own text in front of the content read now, under the lock, never of what a view
// shows. A post that fails writes nothing.
PostResult post(FileAccess& files, const QString& shareLocation, const QByteArray& ownText,
                const Timing& timing = {});

FileError clear(FileAccess& files, const QString& shareLocation, const Timing& timing = {});

// The error for the user; a missing log's also says how a log comes into being.
QString describe(const FileError& error);

} // namespace LiveLog
