#include "windows/main/status_texts.h"

#include "livelog/live_log.h"

// The view is narrow for a path and a reason: the reason starts a line of its own after the path, the
// advice follows as a paragraph, and the view wraps whatever is still wider than itself.
QString StatusText::readFailed(const FileError& error)
{
    QString text = LiveLog::describe(error);
    const qsizetype pathEnd = text.indexOf(QLatin1String(": "));
    if (pathEnd >= 0)
        text.replace(pathEnd + 1, 1, QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return QStringLiteral("BD-ChatSlate - Live Log - ") + text + QStringLiteral("...");
}
