#include "settings/share_config.h"

#include "text/code_page.h"
#include "text/message_text.h"

#include <QDir>

QString ShareConfig::path()
{
    return QDir::toNativeSeparators(QDir::current().absoluteFilePath(fileName));
}

ShareConfig::Location ShareConfig::read(FileAccess& files)
{
    const FileReadResult result = files.readAll(path());
    if (result.error.failed())
        return {{}, result.error};
    QByteArrayView bytes = result.bytes;
    while (bytes.endsWith('\r') || bytes.endsWith('\n'))
        bytes.chop(1);
    constexpr QByteArrayView utf8Mark = "\xEF\xBB\xBF";
    if (bytes.startsWith(utf8Mark))
        return {QString::fromUtf8(bytes.sliced(utf8Mark.size())), {}};
    return {CodePage::decode(bytes.toByteArray()), {}};
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
