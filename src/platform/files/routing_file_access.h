#pragma once

#include "platform/files/file_access.h"

// Sends each \\SERVER\Share path to the backend for file servers and every other path to the local one.
class RoutingFileAccess final : public FileAccess
{
public:
    RoutingFileAccess(FileAccess& local, FileAccess& serverShares);

    FileReadResult readAll(const QString& path) override;
    FileRereadResult readIfChanged(const QString& path, const std::optional<FileIdentity>& known,
                                   QByteArray& buffer) override;
    FileReadResult readStart(const QString& path, qsizetype maxBytes) override;
    FileError writeAll(const QString& path, const QByteArray& bytes, Create mode) override;
    FileError createWhole(const QString& path, const QByteArray& bytes, const QString& scratch) override;
    FileError replace(const QString& source, const QString& target, const QString& aside) override;
    FileError remove(const QString& path) override;
    FileTimeResult modificationTime(const QString& path) override;
    FileListResult listBeside(const QString& path, const QString& prefix) override;
    QString messagePath(const QString& path) const override;

private:
    FileAccess& backendFor(const QString& path) const;

    FileAccess& m_local;
    FileAccess& m_serverShares;
};
