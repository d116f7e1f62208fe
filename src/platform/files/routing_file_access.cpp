#include "platform/files/routing_file_access.h"

#include "platform/files/server_share_path.h"

RoutingFileAccess::RoutingFileAccess(FileAccess& local, FileAccess& serverShares)
    : m_local(local)
    , m_serverShares(serverShares)
{}

FileAccess& RoutingFileAccess::backendFor(const QString& path) const
{
    return ServerSharePath::isServerSharePath(path) ? m_serverShares : m_local;
}

FileReadResult RoutingFileAccess::readAll(const QString& path)
{
    return backendFor(path).readAll(path);
}

FileRereadResult RoutingFileAccess::readIfChanged(const QString& path,
                                                  const std::optional<FileIdentity>& known,
                                                  QByteArray& buffer)
{
    return backendFor(path).readIfChanged(path, known, buffer);
}

FileReadResult RoutingFileAccess::readStart(const QString& path, qsizetype maxBytes)
{
    return backendFor(path).readStart(path, maxBytes);
}

FileError RoutingFileAccess::writeAll(const QString& path, const QByteArray& bytes, Create mode)
{
    return backendFor(path).writeAll(path, bytes, mode);
}

FileError RoutingFileAccess::createWhole(const QString& path, const QByteArray& bytes, const QString& scratch)
{
    return backendFor(path).createWhole(path, bytes, scratch);
}

// Source and target always lie in one folder.
FileError RoutingFileAccess::replace(const QString& source, const QString& target, const QString& aside)
{
    return backendFor(target).replace(source, target, aside);
}

FileError RoutingFileAccess::remove(const QString& path)
{
    return backendFor(path).remove(path);
}

FileTimeResult RoutingFileAccess::modificationTime(const QString& path)
{
    return backendFor(path).modificationTime(path);
}

FileListResult RoutingFileAccess::listBeside(const QString& path, const QString& prefix)
{
    return backendFor(path).listBeside(path, prefix);
}

QString RoutingFileAccess::messagePath(const QString& path) const
{
    return backendFor(path).messagePath(path);
}
