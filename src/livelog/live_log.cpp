#include "livelog/live_log.h"

#include "livelog/live_log_format.h"
#include "platform/files/native_file_ops.h"
#include "text/message_text.h"

namespace {

// The files a writer leaves beside the log all start with the log's name and a dot.
QString besidePrefix()
{
    return LiveLogFormat::fileName.mid(1) + QLatin1Char('.');
}

QString temporaryPath(const QString& logPath)
{
    return logPath + QLatin1Char('.') + LiveLog::Writer::self().fileTag() + QStringLiteral(".TMP");
}

QString pathBeside(const QString& logPath, const QString& name)
{
    return logPath.chopped(LiveLogFormat::fileName.size() - 1) + name;
}

// The tag of a temporary file, clock probe or lock in the making that a writer leaves beside the log;
// empty for other files.
QString writerTagOf(const QString& name)
{
    const qsizetype tagStart = besidePrefix().size();
    for (const QLatin1String suffix :
         {QLatin1String(".TMP"), QLatin1String(".CLOCK"), QLatin1String(".NEWLOCK")}) {
        // A name as short as the prefix and the suffix together holds no tag.
        if (name.endsWith(suffix) && name.size() > tagStart + suffix.size())
            return name.mid(tagStart, name.size() - tagStart - suffix.size());
    }
    return {};
}

// Whether the writer that left this file is surely gone: a process of this machine that no longer runs, or
// any writer once the file is older on the server's clock than a lock that nobody refreshes. The lock is
// held meanwhile, so no writer at work owns an older one.
bool leftBehind(FileAccess& files, const QString& path, const QString& tag, qint64 now,
                const LiveLog::Timing& timing)
{
    const LiveLog::Writer& self = LiveLog::Writer::self();
    if (const std::optional<qint64> process = self.processOnThisMachine(tag))
        return *process != self.process && !NativeFileOps::processRunning(*process);
    const FileTimeResult written = files.modificationTime(path);
    return !written.error.failed() && now - written.msecsSinceEpoch > timing.staleAfter.count();
}

// Temporary files are never read as the log; those of a crashed writer go. The old log moved aside is of
// no use once the new one is in place, but a reader may have held it open when it should have gone.
// Best effort: the post has succeeded already.
void removeLeftovers(FileAccess& files, const QString& logPath, const LiveLog::Timing& timing)
{
    const FileListResult beside = files.listBeside(logPath, besidePrefix());
    const FileTimeResult now = files.modificationTime(logPath);
    if (beside.error.failed() || now.error.failed())
        return;
    const QString aside = LiveLogFormat::asidePath(logPath);
    for (const QString& name : beside.names) {
        const QString path = pathBeside(logPath, name);
        const QString tag = writerTagOf(name);
        if (path == aside || (!tag.isEmpty() && leftBehind(files, path, tag, now.msecsSinceEpoch, timing)))
            files.remove(path);
    }
}

// Under the lock: the new content goes to this writer's own temporary file, which then replaces the log
// in one rename, so a reader or a crash sees the old log or the new one and nothing in between.
FileError rewrite(FileAccess& files, LiveLog::LogLock& lock, const QString& logPath, const QByteArray& bytes,
                  const LiveLog::Timing& timing)
{
    const QString temporary = temporaryPath(logPath);
    FileError error = lock.keepAlive();
    if (!error.failed()) {
        error = LiveLog::retryWhileBusy(
            [&] { return files.writeAll(temporary, bytes, FileAccess::Create::replacingContent); });
    }
    if (!error.failed())
        error = lock.keepAlive();
    if (!error.failed())
        error = LiveLog::retryWhileBusy(
            [&] { return files.replace(temporary, logPath, LiveLogFormat::asidePath(logPath)); });
    if (error.failed()) {
        files.remove(temporary);
        return error;
    }
    removeLeftovers(files, logPath, timing);
    return {};
}

// "Clear Live Log" creates a missing log, but not the shared folder it belongs in.
FileError folderMissingInstead(FileAccess& files, const QString& shareLocation, const FileError& logMissing)
{
    const QString logPath = LiveLogFormat::liveLogPath(shareLocation);
    if (!files.listBeside(logPath, besidePrefix()).error.is(FileError::Kind::missing))
        return logMissing;
    return {FileError::Kind::other,
            MessageText::withAdvice(
                QStringLiteral("Cannot read %1: the shared folder %2 does not exist.")
                    .arg(files.messagePath(logPath), files.messagePath(shareLocation)),
                QStringLiteral("Check the share location in the settings window, and that the share is "
                               "mounted or reachable."))};
}

FileReadResult readOnce(FileAccess& files, const QString& logPath)
{
    return LiveLog::retryWhileBusy([&] { return files.readAll(logPath); });
}

} // namespace

// While a writer replaces the log in two steps, the old log is briefly under its replaced name, and once
// it is gone from there the new log is in place. Posts that follow one another closely can each catch a
// look at the moment between, so the looks go on a few times; a log that is really missing costs only
// these few reads. A writer that stopped in between left the old log aside: a post then builds on it and
// the new log takes its place.
FileReadResult LiveLog::read(FileAccess& files, const QString& shareLocation)
{
    constexpr int looksAside = 5;
    const QString logPath = LiveLogFormat::liveLogPath(shareLocation);
    FileReadResult log = readOnce(files, logPath);
    // The share answers again: a lock this process may have left there when it did not goes now.
    if (!log.error.is(FileError::Kind::serverUnreachable) && LogLock::inDoubt(logPath))
        LogLock(files, logPath, {}).settleDoubt();
    for (int look = 0; look < looksAside && log.error.is(FileError::Kind::missing); ++look) {
        FileReadResult aside = readOnce(files, LiveLogFormat::asidePath(logPath));
        if (!aside.error.failed())
            return aside;
        log = readOnce(files, logPath);
    }
    if (log.error.is(FileError::Kind::missing))
        return {{}, folderMissingInstead(files, shareLocation, log.error)};
    return log;
}

FileRereadResult LiveLog::readIfChanged(FileAccess& files, const QString& shareLocation,
                                        const std::optional<FileIdentity>& known, QByteArray& buffer)
{
    const QString logPath = LiveLogFormat::liveLogPath(shareLocation);
    FileRereadResult log =
        LiveLog::retryWhileBusy([&] { return files.readIfChanged(logPath, known, buffer); });
    const bool settleDoubt = !log.error.is(FileError::Kind::serverUnreachable) && LogLock::inDoubt(logPath);
    if (!log.error.is(FileError::Kind::missing) && !settleDoubt)
        return log;
    FileReadResult whole = read(files, shareLocation);
    buffer = std::move(whole.bytes);
    return {false, std::nullopt, whole.error};
}

LiveLog::PostResult LiveLog::post(FileAccess& files, const QString& shareLocation, const QByteArray& ownText,
                                  const Timing& timing)
{
    const QString logPath = LiveLogFormat::liveLogPath(shareLocation);
    PostResult result;
    LogLock lock(files, logPath, timing);
    result.lock = lock.acquire();
    if (result.lock.failed())
        return result;
    result.read = read(files, shareLocation);
    if (result.read.error.failed())
        return result;
    result.write =
        rewrite(files, lock, logPath, LiveLogFormat::composePost(ownText, result.read.bytes), timing);
    return result;
}

FileError LiveLog::clear(FileAccess& files, const QString& shareLocation, const Timing& timing)
{
    const QString logPath = LiveLogFormat::liveLogPath(shareLocation);
    LogLock lock(files, logPath, timing);
    const FileError locked = lock.acquire();
    if (locked.failed())
        return locked;
    return rewrite(files, lock, logPath, LiveLogFormat::clearedLog(), timing);
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
