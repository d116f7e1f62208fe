#pragma once

#include "platform/files/file_access.h"

// Files the platform's own file API reaches: local folders and mounted shares, and on Windows also
// \\SERVER\Share paths.
class LocalFileAccess final : public FileAccess
{
public:
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
    QString messagePath(const QString& path) const override { return nativePath(path); }

    // Off Windows a backslash is a path separator; the text the user typed stays unchanged elsewhere.
    static QString nativePath(const QString& path);
};
