#include "platform/local_file_access.h"

#include <QFile>
#include <QSaveFile>

namespace {

#if !defined(Q_OS_WIN)
bool isServerSharePath(const QString& path)
{
    return path.startsWith(QLatin1String("\\\\"));
}

FileError serverShareNotSupported(const QString& path)
{
    return {QStringLiteral("Cannot open %1: a \\\\SERVER\\Share location cannot be opened directly on "
                           "this system yet. Mount the share and enter its folder as the share location.")
                .arg(path)};
}
#endif

// Names the path the platform opened, which off Windows has slashes where the user typed backslashes.
FileError errorFor(const QString& action, const QFileDevice& file)
{
    return {QStringLiteral("Cannot %1 %2: %3").arg(action, file.fileName(), file.errorString()),
            file.error() == QFileDevice::OpenError && !QFile::exists(file.fileName())};
}

} // namespace

QString LocalFileAccess::nativePath(const QString& path)
{
#if defined(Q_OS_WIN)
    return path;
#else
    QString native = path;
    return native.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
}

FileReadResult LocalFileAccess::readAll(const QString& path)
{
#if !defined(Q_OS_WIN)
    if (isServerSharePath(path))
        return {{}, serverShareNotSupported(path)};
#endif

    QFile file(nativePath(path));
    if (!file.open(QIODevice::ReadOnly))
        return {{}, errorFor(QStringLiteral("read"), file)};

    // Read in chunks to the end: a network client may report a size that is seconds old.
    QByteArray bytes;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 count = file.read(chunk, sizeof chunk);
        if (count < 0)
            return {{}, errorFor(QStringLiteral("read"), file)};
        if (count == 0)
            break;
        bytes.append(chunk, count);
    }
    return {bytes, {}};
}

FileError LocalFileAccess::replaceAll(const QString& path, const QByteArray& bytes)
{
#if !defined(Q_OS_WIN)
    if (isServerSharePath(path))
        return serverShareNotSupported(path);
#endif

    QSaveFile file(nativePath(path));
    if (!file.open(QIODevice::WriteOnly))
        return errorFor(QStringLiteral("write"), file);
    if (file.write(bytes) != bytes.size())
        return errorFor(QStringLiteral("write"), file);
    if (!file.commit())
        return errorFor(QStringLiteral("write"), file);
    return {};
}
