#pragma once

#include <QByteArray>
#include <QString>

// What a file operation reports: empty error text on success, otherwise a sentence for the user that
// names the path.
struct FileError
{
    QString message;
    bool fileMissing = false;

    bool failed() const { return !message.isEmpty(); }
};

struct FileReadResult
{
    QByteArray bytes;
    FileError error;
};

// Whole-file access on local and network paths. Paths are given as the user wrote them (with
// backslashes); each implementation maps them to what its platform opens.
class FileAccess
{
public:
    virtual ~FileAccess() = default;

    // Reads until the end of the file, whatever size the file system reported before.
    virtual FileReadResult readAll(const QString& path) = 0;

    // Replaces the whole file so that a failure or a crash part-way leaves the old content whole and no
    // reader ever sees a half-written file.
    virtual FileError replaceAll(const QString& path, const QByteArray& bytes) = 0;
};
