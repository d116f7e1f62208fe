#include "livelog/status_texts.h"

#include "livelog/live_log.h"

QString StatusText::readFailed(const FileError& error)
{
    return QStringLiteral("BD-ChatSlate - Live Log - ") + LiveLog::describe(error) + QStringLiteral("...");
}
