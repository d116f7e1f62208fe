#pragma once

#include "platform/file_access.h"

// The three operations that touch the live log, each building the path afresh from the share location.
namespace LiveLog {

FileReadResult read(FileAccess& files, const QString& shareLocation);

struct PostResult
{
    FileReadResult read;  // the content the post was composed from
    FileError write;

    bool failed() const { return read.error.failed() || write.failed(); }
    const FileError& error() const { return read.error.failed() ? read.error : write; }
};

// Puts the encoded own text in front of the content read now, never of what a view shows. A failed read
// writes nothing.
PostResult post(FileAccess& files, const QString& shareLocation, const QByteArray& ownText);

FileError clear(FileAccess& files, const QString& shareLocation);

// The error for the user; a missing log's also says how a log comes into being.
QString describe(const FileError& error);

} // namespace LiveLog
