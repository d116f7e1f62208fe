#include "livelog/live_log.h"

#include "livelog/live_log_format.h"
#include "text/message_text.h"

namespace {

using LiveLog::LogFolder;

// Temporary files are never read as the log; those of a crashed writer go. The old log moved aside is of
// no use once the new one is in place, but a reader may have held it open when it should have gone.
// Best effort: the post has succeeded already.
void removeLeftovers(FileAccess& files, LiveLog::Workstation& station, const LogFolder& folder,
                     const LiveLog::Timing& timing)
{
    const FileListResult beside = files.listBeside(folder.log(), LogFolder::siblingPrefix());
    // Written just now: the file server's time.
    const FileTimeResult now = files.modificationTime(folder.log());
    if (beside.error.failed() || now.error.failed())
        return;
    const LiveLog::StaleRule stale(station, timing.staleAfter);
    for (const QString& name : beside.names) {
        const QString path = folder.pathOf(name);
        const LogFolder::Sibling sibling = LogFolder::classify(name);
        if (sibling.kind == LogFolder::Kind::aside ||
            (!sibling.writerTag.isEmpty() &&
             stale.leftBehind(files, path, sibling.writerTag, now.msecsSinceEpoch)))
            files.remove(path);
    }
}

// Under the lock: the new content goes to this writer's own temporary file, which then replaces the log
// in one rename, so a reader or a crash sees the old log or the new one and nothing in between.
FileError rewrite(FileAccess& files, LiveLog::Workstation& station, LiveLog::LogLock& lock,
                  const LogFolder& folder, const QByteArray& bytes, const LiveLog::Timing& timing)
{
    const QString temporary = folder.temporary(station.self());
    FileError error = lock.keepAlive();
    if (!error.failed()) {
        error = station.retryWhileBusy(
            [&] { return files.writeAll(temporary, bytes, FileAccess::Create::replacingContent); });
    }
    if (!error.failed())
        error = lock.keepAlive();
    if (!error.failed())
        error =
            station.retryWhileBusy([&] { return files.replace(temporary, folder.log(), folder.aside()); });
    if (error.failed()) {
        files.remove(temporary);
        return error;
    }
    removeLeftovers(files, station, folder, timing);
    return {};
}

// "Clear Live Log" creates a missing log, but not the shared folder it belongs in.
FileError folderMissingInstead(FileAccess& files, const QString& shareLocation, const FileError& logMissing)
{
    const QString logPath = LiveLogFormat::liveLogPath(shareLocation);
    if (!files.listBeside(logPath, LogFolder::siblingPrefix()).error.is(FileError::Kind::missing))
        return logMissing;
    return {FileError::Kind::other,
            MessageText::withAdvice(
                QStringLiteral("Cannot read %1: the shared folder %2 does not exist.")
                    .arg(files.messagePath(logPath), files.messagePath(shareLocation)),
                QStringLiteral("Check the share location in the settings window, and that the share is "
                               "mounted or reachable."))};
}

FileReadResult readOnce(FileAccess& files, LiveLog::Workstation& station, const QString& path)
{
    return station.retryWhileBusy([&] { return files.readAll(path); });
}

} // namespace

// While a writer replaces the log in two steps, the old log is briefly under its replaced name, and once
// it is gone from there the new log is in place. Posts that follow one another closely can each catch a
// look at the moment between, so the looks go on a few times; a log that is really missing costs only
// these few reads. A writer that stopped in between left the old log aside: a post then builds on it and
// the new log takes its place.
FileReadResult LiveLog::read(FileAccess& files, Workstation& station, const QString& shareLocation)
{
    constexpr int looksAside = 5;
    const LogFolder folder = LogFolder::ofShare(shareLocation);
    FileReadResult log = readOnce(files, station, folder.log());
    // The share answers again: a lock this process may have left there when it did not goes now.
    if (!log.error.is(FileError::Kind::serverUnreachable) && LogLock::inDoubt(station, folder))
        LogLock(files, station, folder, {}).settleDoubt();
    for (int look = 0; look < looksAside && log.error.is(FileError::Kind::missing); ++look) {
        FileReadResult aside = readOnce(files, station, folder.aside());
        if (!aside.error.failed())
            return aside;
        log = readOnce(files, station, folder.log());
    }
    if (log.error.is(FileError::Kind::missing))
        return {{}, folderMissingInstead(files, shareLocation, log.error)};
    return log;
}

FileRereadResult LiveLog::readIfChanged(FileAccess& files, Workstation& station, const QString& shareLocation,
                                        const std::optional<FileIdentity>& known, QByteArray& buffer)
{
    const LogFolder folder = LogFolder::ofShare(shareLocation);
    FileRereadResult log =
        station.retryWhileBusy([&] { return files.readIfChanged(folder.log(), known, buffer); });
    const bool settleDoubt =
        !log.error.is(FileError::Kind::serverUnreachable) && LogLock::inDoubt(station, folder);
    if (!log.error.is(FileError::Kind::missing) && !settleDoubt)
        return log;
    FileReadResult whole = read(files, station, shareLocation);
    buffer = std::move(whole.bytes);
    return {false, std::nullopt, whole.error};
}

LiveLog::PostResult LiveLog::post(FileAccess& files, Workstation& station, const QString& shareLocation,
                                  const QByteArray& ownText, const Timing& timing)
{
    const LogFolder folder = LogFolder::ofShare(shareLocation);
    PostResult result;
    LogLock lock(files, station, folder, timing);
    result.lock = lock.acquire();
    if (result.lock.failed())
        return result;
    result.read = read(files, station, shareLocation);
    if (result.read.error.failed())
        return result;
    result.write =
        rewrite(files, station, lock, folder, LiveLogFormat::composePost(ownText, result.read.bytes), timing);
    return result;
}

FileError LiveLog::clear(FileAccess& files, Workstation& station, const QString& shareLocation,
                         const Timing& timing)
{
    const LogFolder folder = LogFolder::ofShare(shareLocation);
    LogLock lock(files, station, folder, timing);
    const FileError locked = lock.acquire();
    if (locked.failed())
        return locked;
    return rewrite(files, station, lock, folder, LiveLogFormat::clearedLog(), timing);
}

QString LiveLog::describe(const FileError& readError)
{
    if (!readError.is(FileError::Kind::missing))
        return MessageText::sentence(readError.message);
    return MessageText::withAdvice(
        readError.message,
        QStringLiteral("The live log is created by \"Clear Live Log\" in the settings window."));
}

QString LiveLog::describe(const PostResult& result)
{
    return result.read.error.failed() ? describe(result.read.error)
                                      : MessageText::sentence(result.error().message);
}
