#include "settings/share_config.h"

#include "platform/message_text.h"

#include <QDir>

QString ShareConfig::path()
{
    return QDir::toNativeSeparators(QDir::current().absoluteFilePath(fileName));
}

FileReadResult ShareConfig::read(FileAccess& files)
{
    FileReadResult result = files.readAll(path());
    if (result.error.failed())
        return result;
    QByteArray& bytes = result.bytes;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    while (bytes.endsWith('\r') || bytes.endsWith('\n'))
        bytes.chop(1);
    return result;
}

QString ShareConfig::describe(const FileError& error)
{
    if (!error.is(FileError::Kind::missing))
        return MessageText::sentence(error.message);
    return MessageText::withAdvice(
        error.message,
        QStringLiteral("The share configuration file is looked for in the folder the program was "
                       "started in, %1.")
            .arg(QDir::toNativeSeparators(QDir::currentPath())));
}
