#include "livelog/live_log.h"

#include "livelog/live_log_format.h"

FileReadResult LiveLog::read(FileAccess& files, const QString& shareLocation)
{
    return files.readAll(LiveLogFormat::liveLogPath(shareLocation));
}

LiveLog::PostResult LiveLog::post(FileAccess& files, const QString& shareLocation, const QByteArray& ownText)
{
    PostResult result;
    result.read = read(files, shareLocation);
    if (result.read.error.failed())
        return result;
    result.write = files.replaceAll(LiveLogFormat::liveLogPath(shareLocation),
                                    LiveLogFormat::composePost(ownText, result.read.bytes));
    return result;
}

FileError LiveLog::clear(FileAccess& files, const QString& shareLocation)
{
    return files.replaceAll(LiveLogFormat::liveLogPath(shareLocation), LiveLogFormat::clearedLog());
}

QString LiveLog::describe(const FileError& error)
{
    if (!error.fileMissing)
        return error.message;
    return error.message + QStringLiteral(" The live log is created by \"Clear Live Log\" in the settings window.");
}
