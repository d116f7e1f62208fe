#include "platform/files/local_file_access.h"

#include "platform/files/native_file_ops.h"
#include "platform/files/server_share_path.h"

#include <QFile>
#include <limits>
#include <optional>

namespace {

std::filesystem::path toNative(const QString& path)
{
#if defined(Q_OS_WIN)
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(LocalFileAccess::nativePath(path)).toStdString());
#endif
}

QString fromNative(const std::string& name)
{
#if defined(Q_OS_WIN)
    return QString::fromStdString(name);
#else
    return QFile::decodeName(QByteArray::fromStdString(name));
#endif
}

// A buffer of its own keeps its memory when it shrinks, so a buffer read into again needs no fresh pages
// while the log stays about the same size.
NativeFileOps::ResizeBuffer resizer(QByteArray& bytes)
{
    return [&bytes](std::size_t size) {
        bytes.resize(qsizetype(size));
        return bytes.data();
    };
}

// Names the path the platform opened, which off Windows has slashes where the user typed backslashes.
FileError errorFor(const QString& action, const QString& path, const NativeFileOps::Status& status)
{
    if (status.ok())
        return {};
    return {status.failure,
            QStringLiteral("Cannot %1 %2: %3")
                .arg(action, LocalFileAccess::nativePath(path), QString::fromStdString(status.description))};
}

// Off Windows a \\SERVER\Share path would silently name a local file; it is refused instead.
std::optional<FileError> refused(const QString& path)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(path);
#else
    if (ServerSharePath::isServerSharePath(path))
        return FileError{
            FileError::Kind::other,
            QStringLiteral("Cannot open %1: a \\\\SERVER\\Share location is not a local path.").arg(path)};
#endif
    return std::nullopt;
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
    return readStart(path, std::numeric_limits<qsizetype>::max());
}

FileRereadResult LocalFileAccess::readIfChanged(const QString& path, const std::optional<FileIdentity>& known,
                                                QByteArray& buffer)
{
    if (const auto error = refused(path))
        return {false, std::nullopt, *error};
    FileRereadResult result;
    FileIdentity identity;
    const NativeFileOps::Status status =
        NativeFileOps::readIfChanged(toNative(path), known, identity, result.unchanged, resizer(buffer));
    if (!status.ok())
        return {false, std::nullopt, errorFor(QStringLiteral("read"), path, status)};
    result.identity = identity;
    return result;
}

FileReadResult LocalFileAccess::readStart(const QString& path, qsizetype maxBytes)
{
    if (const auto error = refused(path))
        return {{}, *error};
    QByteArray bytes;
    const NativeFileOps::Status status =
        NativeFileOps::readAll(toNative(path), resizer(bytes), std::size_t(maxBytes));
    if (!status.ok())
        return {{}, errorFor(QStringLiteral("read"), path, status)};
    return {bytes, {}};
}

FileError LocalFileAccess::writeAll(const QString& path, const QByteArray& bytes, Create mode)
{
    if (const auto error = refused(path))
        return *error;
    return errorFor(QStringLiteral("write"), path,
                    NativeFileOps::writeAll(toNative(path), std::string_view(bytes.constData(), bytes.size()),
                                            mode == Create::newOnly));
}

FileError LocalFileAccess::createWhole(const QString& path, const QByteArray& bytes, const QString& scratch)
{
    if (const auto error = refused(path))
        return *error;
    if (const FileError written = writeAll(scratch, bytes, Create::replacingContent); written.failed())
        return written;
    const std::optional<NativeFileOps::Status> moved =
        NativeFileOps::moveToNew(toNative(scratch), toNative(path));
    if (moved && moved->ok())
        return {};
    remove(scratch);
    if (moved)
        return errorFor(QStringLiteral("create"), path, *moved);
    return writeAll(path, bytes, Create::newOnly);
}

// The platform's rename replaces the target in one step: nothing is moved aside.
FileError LocalFileAccess::replace(const QString& source, const QString& target, const QString&)
{
    if (const auto error = refused(target))
        return *error;
    FileError error =
        errorFor(QStringLiteral("write"), target, NativeFileOps::replace(toNative(source), toNative(target)));
    if (error.failed())
        error.message += QStringLiteral(" (renaming %1 over it)").arg(nativePath(source));
    return error;
}

FileError LocalFileAccess::remove(const QString& path)
{
    if (const auto error = refused(path))
        return *error;
    return errorFor(QStringLiteral("remove"), path, NativeFileOps::remove(toNative(path)));
}

FileTimeResult LocalFileAccess::modificationTime(const QString& path)
{
    if (const auto error = refused(path))
        return {0, *error};
    std::int64_t msecs = 0;
    const NativeFileOps::Status status = NativeFileOps::modificationTime(toNative(path), msecs);
    return {msecs, errorFor(QStringLiteral("read the time of"), path, status)};
}

FileListResult LocalFileAccess::listBeside(const QString& path, const QString& prefix)
{
    if (const auto error = refused(path))
        return {{}, *error};
    const std::filesystem::path folder = toNative(path).parent_path();
    std::vector<std::string> names;
    const NativeFileOps::Status status = NativeFileOps::listFolder(folder.empty() ? "." : folder, names);
    FileListResult result{{}, errorFor(QStringLiteral("list the folder of"), path, status)};
    for (const std::string& name : names) {
        const QString decoded = fromNative(name);
        if (decoded.startsWith(prefix))
            result.names.append(decoded);
    }
    return result;
}
